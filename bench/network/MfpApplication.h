#pragma once

// The TWAIN application of the network benchmarks: velloran.ds through the test manager, its
// settings already made for MFP scans, transferring every page natively and dropping it. Keeps
// the time each MSG_XFERREADY callback ran.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/TwainSession.h"

namespace bench {

class MfpApplication {
 public:
  using Clock = std::chrono::steady_clock;

  // Opens the manager and the source and sets CAP_XFERCOUNT (-1: every page until the marker).
  explicit MfpApplication(int transferCount);

  // Empty when the source is open, else what failed.
  const std::string& Error() const { return error_; }
  bool Enable();
  bool Disable();
  // The time the callback of the `number`th MSG_XFERREADY since the source opened ran (from 1),
  // waiting up to `timeout` for it.
  std::optional<Clock::time_point> WaitForXferReady(std::size_t number, std::chrono::milliseconds timeout);
  // Transfers and drops the pages of the batch offered until the source ends the batch; the number
  // transferred, or -1 when a transfer failed.
  int TransferBatch();

 private:
  test_support::TestDsm dsm_;
  test_support::TwainSession session_{dsm_, "Network benchmark"};
  std::string error_;
  std::mutex mutex_;
  std::condition_variable readyArrived_;
  std::vector<Clock::time_point> ready_;
};

}  // namespace bench
