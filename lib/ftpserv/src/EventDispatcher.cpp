#include "EventDispatcher.h"

#include "connectors/CFtpServerEvents.h"
#include "platform/StringConversion.h"

namespace ftpserv {
namespace {

constexpr size_t kMaxQueuedMessages = 4096;

}  // namespace

EventDispatcher::EventDispatcher() : thread_([this] { Run(); }) {}

EventDispatcher::~EventDispatcher() {
  {
    const std::lock_guard lock(queueMutex_);
    stopping_ = true;
  }
  queueChanged_.notify_one();
  thread_.join();
}

void EventDispatcher::Subscribe(CFtpServerEvents* sink) {
  const std::lock_guard lock(sinkMutex_);
  sink_ = sink;
}

void EventDispatcher::Unsubscribe() {
  std::unique_lock lock(sinkMutex_);
  sink_ = nullptr;
  // From inside an event the delivery in progress is the caller's own.
  if (std::this_thread::get_id() == thread_.get_id()) return;
  deliveryEnded_.wait(lock, [this] { return !delivering_; });
}

void EventDispatcher::PostMessage(const std::string& utf8Text) {
  {
    const std::lock_guard lock(queueMutex_);
    if (queuedMessages_ >= kMaxQueuedMessages) {
      ++droppedMessages_;
      return;
    }
    if (droppedMessages_ > 0) {
      queue_.push_back({false, std::to_string(droppedMessages_) + " log lines dropped: the event sink was too slow"});
      droppedMessages_ = 0;
      ++queuedMessages_;
    }
    queue_.push_back({false, utf8Text});
    ++queuedMessages_;
  }
  queueChanged_.notify_one();
}

void EventDispatcher::PostFileReceived(const std::string& path) {
  {
    const std::lock_guard lock(queueMutex_);
    queue_.push_back({true, path});
  }
  queueChanged_.notify_one();
}

void EventDispatcher::Run() {
  std::unique_lock lock(queueMutex_);
  for (;;) {
    queueChanged_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    const Event event = std::move(queue_.front());
    queue_.pop_front();
    if (!event.isFile) --queuedMessages_;
    lock.unlock();
    Deliver(event);
    lock.lock();
  }
}

void EventDispatcher::Deliver(const Event& event) {
  // Client-supplied names need not be UTF-8; this conversion keeps their bytes and never throws.
  const std::u16string text = platform::FileNameToWide(event.text);
  // The sink for one call, taken under the lock and called without it; Unsubscribe waits for the
  // call to end, so the sink outlives it.
  const auto callSink = [this](auto&& call) {
    CFtpServerEvents* sink = nullptr;
    {
      const std::lock_guard lock(sinkMutex_);
      if (sink_ == nullptr) return;
      sink = sink_;
      delivering_ = true;
    }
    call(*sink);
    {
      const std::lock_guard lock(sinkMutex_);
      delivering_ = false;
    }
    deliveryEnded_.notify_all();
  };
  if (!event.isFile) {
    callSink([&](CFtpServerEvents& sink) { sink.OnServerMessage(text); });
    return;
  }
  callSink([&](CFtpServerEvents& sink) { sink.OnFileReceived(text); });
  // The sink may have unsubscribed meanwhile.
  callSink([](CFtpServerEvents& sink) { sink.OnTransferFinished(); });
}

}  // namespace ftpserv
