#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "PageImage.h"
#include "ScannerOptions.h"
#include "SaneSession.h"

namespace sanenet {

class EventRelay;

inline constexpr const char* kEndMarkerName = "SCANFINISHEDMARKER.MRK";

// One scan on the connector's thread: the options, every page the source gives (one from the
// flat bed, until the feeder is empty from a feeder), each written as a file into the folder
// and announced, then the end marker and the end of the scan, whether the scan succeeded or
// not. Shared between the thread and the connector, which may cancel it.
class RemoteScanJob {
 public:
  RemoteScanJob(std::unique_ptr<SaneSession> session, std::string folder, ScanRequest request,
                std::shared_ptr<EventRelay> relay);

  void Run();
  // Ends the exchange with the service at once; the job then ends without further events.
  void Cancel();
  // Until Run has ended or `timeout` passed; true when it has ended.
  bool WaitUntilDone(std::chrono::milliseconds timeout);

 private:
  void Scan();
  void ApplyOptions();
  // Every frame of the next page, the first into the memory of `spare`; false when the feeder
  // has no more sheets.
  bool ReadPage(std::vector<Frame>& frames, int pagesSoFar, std::vector<uint8_t>& spare);
  std::string Deliver(const PageImage& page);
  void Finish();

  std::unique_ptr<SaneSession> session_;
  const std::string folder_;
  const ScanRequest request_;
  std::shared_ptr<EventRelay> relay_;
  std::mutex mutex_;
  std::condition_variable doneChanged_;
  bool done_ = false;
  std::atomic<bool> cancelled_{false};
};

// A file name in the folder that no file has yet ("scan-0001.png", "scan-0002.png", ...),
// created empty so that no other writer takes it.
std::string ReserveFileName(const std::string& folder, const char* prefix, const char* extension);

}  // namespace sanenet
