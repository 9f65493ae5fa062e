#include "RemoteScanJob.h"

#include <fcntl.h>
#include <sane/sane.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>

#include "EventRelay.h"

namespace sanenet {

std::string ReserveFileName(const std::string& folder, const char* prefix, const char* extension) {
  for (int number = 1; number < 1000000; ++number) {
    char name[64];
    std::snprintf(name, sizeof name, "%s-%04d.%s", prefix, number, extension);
    const std::string path = (std::filesystem::path(folder) / name).string();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      close(fd);
      return path;
    }
    if (errno != EEXIST) throw SaneError("cannot create a file in " + folder + ": " + std::strerror(errno));
  }
  throw SaneError("no free file name left in " + folder);
}

RemoteScanJob::RemoteScanJob(std::unique_ptr<SaneSession> session, std::string folder, ScanRequest request,
                             std::shared_ptr<EventRelay> relay)
    : session_(std::move(session)), folder_(std::move(folder)), request_(request), relay_(std::move(relay)) {}

void RemoteScanJob::Run() {
  try {
    Scan();
  } catch (const SaneError& error) {
    if (!cancelled_) relay_->Message("Remote scan: " + std::string(error.what()));
  } catch (const std::exception& error) {
    relay_->Message("Remote scan failed: " + std::string(error.what()));
  }
  Finish();
}

void RemoteScanJob::Scan() {
  ApplyOptions();
  const bool feeder = request_.paperSource == 1;
  // A page is encoded and written while the next one comes over the network; the files are
  // announced in page order, each once it is complete.
  // The memory of a written page takes the page after next, so that pages of megabytes do not
  // each cost a fresh allocation.
  std::future<std::string> written;
  std::shared_ptr<PageImage> writing;
  std::vector<uint8_t> spare;
  const auto announce = [&] {
    if (!written.valid()) return;
    relay_->File(written.get());
    spare = std::move(writing->pixels);
  };
  try {
    for (int pages = 0;; ++pages) {
      std::vector<Frame> frames;
      if (!ReadPage(frames, pages, spare)) break;
      auto page = std::make_shared<PageImage>(AssemblePage(std::move(frames)));
      announce();
      writing = page;
      written = std::async(std::launch::async, [this, page] {
        if (request_.orientation == kLandscape) *page = RotatedClockwise(*page);
        return Deliver(*page);
      });
      if (!feeder) break;
    }
  } catch (const SaneError&) {
    // The page before the failure is complete: it is announced before the failure is.
    try {
      announce();
    } catch (const SaneError&) {
    }
    throw;
  }
  announce();
  session_->Cancel();
}

void RemoteScanJob::ApplyOptions() {
  std::vector<OptionDescriptor> options = session_->GetOptionDescriptors();
  for (const std::string_view name : ScanOptionNames()) {
    const std::optional<OptionValue> value = ValueFor(name, options, request_);
    if (!value) continue;
    const ControlReply reply = session_->SetOption(FindOption(options, name), *value);
    // Setting the source or the mode may change which options there are.
    if (reply.info & SANE_INFO_RELOAD_OPTIONS) options = session_->GetOptionDescriptors();
  }
}

bool RemoteScanJob::ReadPage(std::vector<Frame>& frames, int pagesSoFar, std::vector<uint8_t>& spare) {
  // A three-pass scanner sends a page as three frames; the last one says so.
  constexpr size_t kMaxFrames = 3;
  do {
    Frame frame;
    if (frames.empty()) frame.bytes = std::move(spare);
    int32_t startStatus = SANE_STATUS_GOOD;
    if (!session_->ReadFrame(frame, startStatus)) {
      // An empty feeder after the first sheet is the normal end of a feeder scan.
      if (startStatus == SANE_STATUS_NO_DOCS && frames.empty() && pagesSoFar > 0) return false;
      throw SaneError("the scanner cannot start: " + StatusText(startStatus));
    }
    frames.push_back(std::move(frame));
  } while (!frames.back().parameters.lastFrame && frames.size() < kMaxFrames);
  return true;
}

std::string RemoteScanJob::Deliver(const PageImage& page) {
  const std::string path = ReserveFileName(folder_, "scan", "png");
  try {
    WritePng(page, path);
  } catch (const SaneError&) {
    std::remove(path.c_str());  // no half-written page is left for anyone to take
    throw;
  }
  return path;
}

void RemoteScanJob::Finish() {
  if (!cancelled_) {
    // The marker ends the batch on the receiving side, also after a failure: the pages that
    // came are delivered and nobody waits for ones that will not come.
    const std::string marker = (std::filesystem::path(folder_) / kEndMarkerName).string();
    if (FILE* file = std::fopen(marker.c_str(), "wb")) {
      std::fclose(file);
      relay_->File(marker);
    } else {
      relay_->Message("Remote scan: cannot write the end marker " + marker + ": " + std::strerror(errno));
    }
    relay_->Finished();
  }
  const std::lock_guard lock(mutex_);
  session_.reset();
  done_ = true;
  doneChanged_.notify_all();
}

void RemoteScanJob::Cancel() {
  const std::lock_guard lock(mutex_);
  if (done_) return;
  cancelled_ = true;
  session_->Abort();
}

bool RemoteScanJob::WaitUntilDone(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return doneChanged_.wait_for(lock, timeout, [&] { return done_; });
}

}  // namespace sanenet
