#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "PageSink.h"
#include "TwainApplication.h"
#include "WaitBreaker.h"

namespace twacquire {

// One page received.
struct PageReport {
  int number = 0;        // from 1
  std::string output;    // what the sink wrote; empty when nothing
  TW_IMAGEINFO info{};
  double elapsedSeconds = 0;  // since the source was enabled
};

// One batch as an application runs it on an open source: sets the capabilities of the
// options, enables the source, waits for MSG_XFERREADY, transfers every page with the chosen
// mechanism (image information and palette first), ends each transfer, and disables the source
// when the batch has ended. Pages go to the sink. Every wait for a page, the first one for
// MSG_XFERREADY and each in MSG_ENDXFER (where a source receiving pages over the network
// waits for the next), is bounded by the options' wait and ends early when interrupted.
class Acquisition {
 public:
  Acquisition(TwainApplication& application, const Options& options, PageSink& sink);

  // Called after every page, before the source is asked for the next one.
  void OnPage(std::function<void(const PageReport&)> report) { onPage_ = std::move(report); }

  // Ends the batch as soon as the source lets go: the page being transferred is finished, the
  // rest dropped. From any thread (not from a signal handler), before or during Run().
  void Interrupt();
  bool Interrupted() const { return breaker_.Interrupted(); }

  // False with Error() filled when the source refused something or a page could not be kept;
  // pages received before stay counted.
  bool Run();

  int Pages() const { return pages_; }
  // From enabling the source until the batch ended.
  double Seconds() const { return seconds_; }
  const std::string& Error() const { return error_; }
  // A note for the user that is not an error (the source had nothing to offer, ...).
  const std::string& Note() const { return note_; }

 private:
  enum class PageOutcome { kMorePages, kBatchEnded, kFailed };

  bool Negotiate();
  bool SetOneValue(TW_UINT16 capability, TW_UINT16 itemType, TW_UINT32 item, const char* name);
  bool Enable();
  PageOutcome TransferPage();
  bool TransferNative(const TW_IMAGEINFO& info);
  bool TransferMemory(const TW_IMAGEINFO& info, const TW_PALETTE8* palette);
  bool TransferFile();
  // Ends the transfer of the current page; false on failure. `count` is 0 when the wait for the
  // next page was broken.
  bool EndTransfer(TW_INT16& count);
  // Leaves a failed transfer: back to state 5, so the source can be disabled.
  void AbandonBatch(bool transferStarted);
  bool Fail(const std::string& what, TW_UINT16 rc);

  TwainApplication& application_;
  const Options& options_;
  PageSink& sink_;
  std::function<void(const PageReport&)> onPage_;
  std::vector<uint8_t> stripBuffer_;  // reused for every page
  std::chrono::steady_clock::time_point start_;
  int pages_ = 0;
  double seconds_ = 0;
  bool enabled_ = false;
  std::string error_;
  std::string note_;
  std::string output_;  // of the page being transferred
  WaitBreaker breaker_{[this] { application_.BreakSourceWait(); }};
};

}  // namespace twacquire
