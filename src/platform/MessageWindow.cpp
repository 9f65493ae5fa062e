#include "platform/MessageWindow.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

// Every change is announced while the mutex is held: once the window's thread can see the
// change, the caller no longer touches anything, so a handler may even delete this object.

struct MessageWindow::Shared {
  explicit Shared(Handler handlerToCall) : handler(std::move(handlerToCall)) {}

  // A posted message, or a command when `command` is set.
  struct Item {
    WindowMessage message;
    std::function<void()> command;
  };
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
  };

  // Moves every timer that is due into the queue of timer messages, at most one per timer.
  void QueueDueTimers(Clock::time_point now) {
    for (auto& [id, timer] : timers) {
      if (timer.due > now) continue;
      if (std::find(firedTimers.begin(), firedTimers.end(), id) == firedTimers.end()) firedTimers.push_back(id);
      timer.due = now + timer.period;
    }
  }

  std::optional<Clock::time_point> NextDue() const {
    std::optional<Clock::time_point> next;
    for (const auto& [id, timer] : timers) {
      if (!next || timer.due < *next) next = timer.due;
    }
    return next;
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Item> queue;
  std::map<std::uintptr_t, Timer> timers;
  std::deque<std::uintptr_t> firedTimers;  // ids of the timer messages waiting, oldest first
  int holdCount = 0;
  bool started = false;
  bool stopped = false;
  bool ended = false;
  std::thread::id threadId;
  const Handler handler;
};

namespace {

void Deliver(const std::function<void()>& call) {
  // An exception must not end the thread: the window would fall silent for good.
  try {
    call();
  } catch (...) {
  }
}

}  // namespace

MessageWindow::MessageWindow(Handler handler) : shared_(std::make_shared<Shared>(std::move(handler))) {}

MessageWindow::~MessageWindow() {
  Stop();
  if (!thread_.joinable()) return;
  if (IsWindowThread()) {
    // A handler is destroying its own window: the thread ends by itself after that handler,
    // keeping the shared state alive until then.
    thread_.detach();
  } else {
    thread_.join();
  }
}

bool MessageWindow::Create() {
  std::shared_ptr<Shared> shared = shared_;
  {
    std::lock_guard lock(shared->mutex);
    if (shared->started || shared->stopped) return false;
    shared->started = true;
  }
  try {
    thread_ = std::thread([shared] {
      std::unique_lock lock(shared->mutex);
      shared->threadId = std::this_thread::get_id();
      while (!shared->stopped) {
        shared->QueueDueTimers(Clock::now());
        if (!shared->queue.empty()) {
          Shared::Item item = std::move(shared->queue.front());
          shared->queue.pop_front();
          lock.unlock();
          if (item.command) {
            Deliver(item.command);
          } else {
            Deliver([&] { shared->handler(item.message); });
          }
          item = Shared::Item{};  // a command's captures die before the lock is taken again
          lock.lock();
          continue;
        }
        if (shared->holdCount == 0 && !shared->firedTimers.empty()) {
          const WindowMessage timerMessage{WM_TIMER, shared->firedTimers.front(), 0};
          shared->firedTimers.pop_front();
          lock.unlock();
          Deliver([&] { shared->handler(timerMessage); });
          lock.lock();
          continue;
        }
        const std::optional<Clock::time_point> due = shared->NextDue();
        if (due) {
          shared->changed.wait_until(lock, *due);
        } else {
          shared->changed.wait(lock);
        }
      }
      shared->ended = true;
    });
  } catch (const std::system_error&) {
    std::lock_guard lock(shared->mutex);
    shared->stopped = true;
    shared->ended = true;
    return false;
  }
  std::lock_guard lock(shared->mutex);
  shared->threadId = thread_.get_id();
  return true;
}

bool MessageWindow::Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->started || shared_->stopped) return false;
    shared_->queue.push_back(Shared::Item{WindowMessage{message, wParam, lParam}, nullptr});
    shared_->changed.notify_all();
  }
  return true;
}

bool MessageWindow::Run(std::function<void()> command) {
  if (!command) return false;
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->started || shared_->stopped) return false;
    shared_->queue.push_back(Shared::Item{WindowMessage{}, std::move(command)});
    shared_->changed.notify_all();
  }
  return true;
}

std::uintptr_t MessageWindow::SetTimer(std::uintptr_t id, std::uint32_t elapseMs) {
  if (id == 0 || elapseMs == 0) return 0;
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->stopped) return 0;
    const std::chrono::milliseconds period(elapseMs);
    shared_->timers[id] = Shared::Timer{period, Clock::now() + period};
    shared_->changed.notify_all();
  }
  return id;
}

bool MessageWindow::KillTimer(std::uintptr_t id) {
  std::lock_guard lock(shared_->mutex);
  return shared_->timers.erase(id) != 0;
}

void MessageWindow::HoldTimerMessages() {
  std::lock_guard lock(shared_->mutex);
  ++shared_->holdCount;
}

void MessageWindow::ReleaseTimerMessages() {
  std::lock_guard lock(shared_->mutex);
  if (shared_->holdCount == 0) return;
  --shared_->holdCount;
  shared_->changed.notify_all();
}

void MessageWindow::Stop() {
  std::lock_guard lock(shared_->mutex);
  shared_->stopped = true;
  shared_->timers.clear();
  shared_->changed.notify_all();
}

bool MessageWindow::IsStopped() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->stopped;
}

bool MessageWindow::IsWindowThread() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->started && shared_->threadId == std::this_thread::get_id();
}

bool MessageWindow::HasEnded() const {
  std::lock_guard lock(shared_->mutex);
  return !shared_->started || shared_->ended;
}

bool MessageWindow::Join() {
  if (IsWindowThread()) return false;
  if (thread_.joinable()) thread_.join();
  return true;
}

}  // namespace platform
