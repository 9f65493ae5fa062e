#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace twacquire {

// Ends a call into the source that waits too long or that the user interrupts. MSG_ENDXFER of a
// scan that receives its pages over the network blocks in the source until the next page comes,
// and TWAIN gives the application no triplet to stop it; closing the source from another thread
// does: the close fails while a transfer is pending, but the source gives up its wait. The
// breaking runs on a thread of the breaker's own, and only while a call is under way, so it can
// never close a source the application goes on using.
class WaitBreaker {
 public:
  explicit WaitBreaker(std::function<void()> breakWait);
  WaitBreaker(const WaitBreaker&) = delete;
  WaitBreaker& operator=(const WaitBreaker&) = delete;
  ~WaitBreaker();

  // Runs `call`, breaking its wait when it has not returned within `limit` (zero: no limit) or
  // when Interrupt() comes (or came) meanwhile. True when the wait was broken.
  bool Run(std::chrono::milliseconds limit, const std::function<void()>& call);

  // From any thread (not from a signal handler); stays in force for every later call.
  void Interrupt();
  bool Interrupted() const;

 private:
  void Watch();

  const std::function<void()> breakWait_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  bool stopping_ = false;
  bool interrupted_ = false;
  bool calling_ = false;
  bool broken_ = false;
  std::chrono::steady_clock::time_point deadline_;
  std::thread watcher_;  // last: starts once the rest is ready
};

}  // namespace twacquire
