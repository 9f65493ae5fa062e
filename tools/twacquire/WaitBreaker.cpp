#include "WaitBreaker.h"

namespace twacquire {

WaitBreaker::WaitBreaker(std::function<void()> breakWait)
    : breakWait_(std::move(breakWait)), watcher_([this] { Watch(); }) {}

WaitBreaker::~WaitBreaker() {
  {
    const std::lock_guard guard(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  watcher_.join();
}

bool WaitBreaker::Run(std::chrono::milliseconds limit, const std::function<void()>& call) {
  {
    const std::lock_guard guard(lock_);
    calling_ = true;
    broken_ = false;
    deadline_ = limit.count() > 0 ? std::chrono::steady_clock::now() + limit
                                  : std::chrono::steady_clock::time_point::max();
  }
  changed_.notify_all();
  call();
  // Waits for a break under way: once this returns the source is the caller's alone again.
  const std::lock_guard guard(lock_);
  calling_ = false;
  return broken_;
}

void WaitBreaker::Interrupt() {
  {
    const std::lock_guard guard(lock_);
    interrupted_ = true;
  }
  changed_.notify_all();
}

bool WaitBreaker::Interrupted() const {
  const std::lock_guard guard(lock_);
  return interrupted_;
}

void WaitBreaker::Watch() {
  std::unique_lock guard(lock_);
  while (!stopping_) {
    if (!calling_ || broken_) {
      changed_.wait(guard);
      continue;
    }
    if (!interrupted_ && deadline_ == std::chrono::steady_clock::time_point::max()) {
      changed_.wait(guard);
      continue;
    }
    if (!interrupted_ && std::chrono::steady_clock::now() < deadline_) {
      changed_.wait_until(guard, deadline_);
      continue;
    }
    // The lock stays held: the call's end waits until the source has been told.
    broken_ = true;
    breakWait_();
  }
}

}  // namespace twacquire
