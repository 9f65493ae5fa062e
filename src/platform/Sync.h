#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

// Results of the waits, with the values callers compare against.
inline constexpr std::uint32_t WAIT_OBJECT_0 = 0;
inline constexpr std::uint32_t WAIT_TIMEOUT = 258;
inline constexpr std::uint32_t WAIT_FAILED = 0xFFFFFFFFu;
// A time-out that never expires.
inline constexpr std::uint32_t INFINITE = 0xFFFFFFFFu;

// A waitable flag. A manual-reset event stays set until Reset(); an auto-reset event is
// cleared by the one wait that it releases. Thread-safe; must outlive every wait on it.
class Event {
 public:
  explicit Event(bool manualReset, bool initiallySet = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  ~Event();

  void Set();
  void Reset();
  bool IsSet() const;
  // WAIT_OBJECT_0 when the event was (or became) set within the time-out, else WAIT_TIMEOUT.
  std::uint32_t Wait(std::uint32_t timeoutMs) const;

 private:
  friend std::uint32_t WaitForMultiple(const std::vector<const Event*>& events, std::uint32_t timeoutMs);
  const bool manualReset_;
  mutable bool set_;  // guarded by the shared wait mutex
};

// Waits until any of the events is set: WAIT_OBJECT_0 + the index of the first set event (an
// auto-reset event is consumed), WAIT_TIMEOUT when the time-out passed, WAIT_FAILED for an
// empty list or a null entry.
std::uint32_t WaitForMultiple(const std::vector<const Event*>& events, std::uint32_t timeoutMs);

// A lock that the thread holding it may take again; released after as many Leave() as Enter().
// Usable with std::lock_guard / std::unique_lock.
class RecursiveCriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  bool TryEnter() { return mutex_.try_lock(); }
  void Leave() { mutex_.unlock(); }

  void lock() { Enter(); }
  bool try_lock() { return TryEnter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex mutex_;
};

// A thread that is always joined: the destructor waits for the body to return.
class Thread {
 public:
  Thread() = default;
  explicit Thread(std::function<void()> body);
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  Thread(Thread&&) noexcept = default;
  Thread& operator=(Thread&& other) noexcept;
  ~Thread();

  bool IsStarted() const { return thread_.joinable(); }
  // WAIT_OBJECT_0 once the body has returned, WAIT_TIMEOUT before. Does not join.
  std::uint32_t WaitForExit(std::uint32_t timeoutMs) const;
  void Join();
  std::thread::id Id() const { return thread_.get_id(); }

 private:
  std::unique_ptr<Event> finished_;
  std::thread thread_;
};

}  // namespace platform
