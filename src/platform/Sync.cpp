#include "platform/Sync.h"

#include "platform/NeverDestroyed.h"

#include <chrono>
#include <condition_variable>
#include <optional>

namespace platform {
namespace {

// One mutex and one condition for all events: a wait on several events then needs no
// registration with each of them. Events are few and rarely signalled, so sharing costs nothing.
struct WaitHub {
  std::mutex mutex;
  std::condition_variable changed;
};

// Never destroyed: a thread may still wait on an event while the process exits.
WaitHub& Hub() {
  static NeverDestroyed<WaitHub> hub;
  return hub.Get();
}

std::optional<std::chrono::steady_clock::time_point> DeadlineFor(std::uint32_t timeoutMs) {
  if (timeoutMs == INFINITE) return std::nullopt;
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

Event::Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}

Event::~Event() = default;

void Event::Set() {
  {
    std::lock_guard lock(Hub().mutex);
    set_ = true;
  }
  Hub().changed.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(Hub().mutex);
  set_ = false;
}

bool Event::IsSet() const {
  std::lock_guard lock(Hub().mutex);
  return set_;
}

std::uint32_t Event::Wait(std::uint32_t timeoutMs) const { return WaitForMultiple({this}, timeoutMs); }

std::uint32_t WaitForMultiple(const std::vector<const Event*>& events, std::uint32_t timeoutMs) {
  if (events.empty()) return WAIT_FAILED;
  for (const Event* event : events) {
    if (event == nullptr) return WAIT_FAILED;
  }
  const auto deadline = DeadlineFor(timeoutMs);
  std::unique_lock lock(Hub().mutex);
  for (;;) {
    for (std::uint32_t i = 0; i < events.size(); ++i) {
      if (!events[i]->set_) continue;
      if (!events[i]->manualReset_) events[i]->set_ = false;
      return WAIT_OBJECT_0 + i;
    }
    if (!deadline) {
      Hub().changed.wait(lock);
    } else if (Hub().changed.wait_until(lock, *deadline) == std::cv_status::timeout) {
      // One last look: the event may have been set just as the time ran out.
      for (std::uint32_t i = 0; i < events.size(); ++i) {
        if (!events[i]->set_) continue;
        if (!events[i]->manualReset_) events[i]->set_ = false;
        return WAIT_OBJECT_0 + i;
      }
      return WAIT_TIMEOUT;
    }
  }
}

Thread::Thread(std::function<void()> body) : finished_(std::make_unique<Event>(/*manualReset=*/true)) {
  Event* finished = finished_.get();
  thread_ = std::thread([body = std::move(body), finished] {
    body();
    finished->Set();
  });
}

Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    Join();
    finished_ = std::move(other.finished_);
    thread_ = std::move(other.thread_);
  }
  return *this;
}

Thread::~Thread() { Join(); }

std::uint32_t Thread::WaitForExit(std::uint32_t timeoutMs) const {
  if (!finished_) return WAIT_OBJECT_0;
  return finished_->Wait(timeoutMs);
}

void Thread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace platform
