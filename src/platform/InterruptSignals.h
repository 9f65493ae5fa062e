#pragma once

#include <functional>
#include <memory>

namespace platform {

// Turns SIGINT and SIGTERM into a call on a thread of its own, where the reaction may lock,
// allocate and call into libraries: the signal handler itself only writes the signal's number
// to a pipe. While the object lives the signals no longer end the process; their previous
// handling returns when it dies. One per process.
class InterruptSignals {
 public:
  // `onSignal` gets the signal's number, once per signal received.
  explicit InterruptSignals(std::function<void(int signal)> onSignal);
  InterruptSignals(const InterruptSignals&) = delete;
  InterruptSignals& operator=(const InterruptSignals&) = delete;
  ~InterruptSignals();

  // False when the pipe or the handlers could not be set up: the signals keep their old handling.
  bool Active() const { return active_; }

 private:
  struct Watch;
  std::unique_ptr<Watch> watch_;
  bool active_ = false;
};

}  // namespace platform
