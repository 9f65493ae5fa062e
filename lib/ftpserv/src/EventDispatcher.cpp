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
  const std::lock_guard lock(sinkMutex_);
  sink_ = nullptr;
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
  const std::lock_guard lock(sinkMutex_);
  if (sink_ == nullptr) return;
  // Client-supplied names need not be UTF-8; this conversion keeps their bytes and never throws.
  const std::u16string text = platform::FileNameToWide(event.text);
  if (!event.isFile) {
    sink_->OnServerMessage(text);
    return;
  }
  sink_->OnFileReceived(text);
  if (sink_ != nullptr) sink_->OnTransferFinished();  // the sink may have unsubscribed meanwhile
}

}  // namespace ftpserv
