#include "platform/InterruptSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

namespace platform {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};
// What the destructor writes to end the watching thread; no signal has this number.
constexpr unsigned char kStop = 0;

// The write end of the pipe, for the handler; -1 while no object lives.
std::atomic<int> g_writeEnd{-1};

extern "C" void WriteSignalNumber(int signal) {
  // Only async-signal-safe calls here; errno belongs to the interrupted code.
  const int savedErrno = errno;
  const int fd = g_writeEnd.load();
  const unsigned char number = static_cast<unsigned char>(signal);
  if (fd >= 0 && write(fd, &number, 1) < 0) {
    // A full pipe already holds signals enough to wake the watcher.
  }
  errno = savedErrno;
}

}  // namespace

struct InterruptSignals::Watch {
  int readEnd = -1;
  int writeEnd = -1;
  struct sigaction previous[std::size(kSignals)] = {};
  std::thread thread;

  ~Watch() {
    if (readEnd >= 0) close(readEnd);
    if (writeEnd >= 0) close(writeEnd);
  }
};

InterruptSignals::InterruptSignals(std::function<void(int signal)> onSignal) : watch_(std::make_unique<Watch>()) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  watch_->readEnd = ends[0];
  watch_->writeEnd = ends[1];
  int expected = -1;
  if (!g_writeEnd.compare_exchange_strong(expected, watch_->writeEnd)) return;  // another object lives

  watch_->thread = std::thread([readEnd = watch_->readEnd, onSignal = std::move(onSignal)] {
    for (;;) {
      unsigned char number = kStop;
      const ssize_t got = read(readEnd, &number, 1);
      if (got < 0 && errno == EINTR) continue;
      if (got != 1 || number == kStop) return;
      onSignal(number);
    }
  });

  struct sigaction action = {};
  action.sa_handler = WriteSignalNumber;
  sigemptyset(&action.sa_mask);
  // Blocking calls of other threads go on as if nothing had happened.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &watch_->previous[i]);
  active_ = true;
}

InterruptSignals::~InterruptSignals() {
  if (!active_) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &watch_->previous[i], nullptr);
  g_writeEnd.store(-1);
  const unsigned char stop = kStop;
  while (write(watch_->writeEnd, &stop, 1) < 0 && errno == EINTR) {
  }
  watch_->thread.join();
}

}  // namespace platform
