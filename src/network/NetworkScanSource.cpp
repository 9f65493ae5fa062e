#include "network/NetworkScanSource.h"

#include <memory>
#include <vector>

#include "acquisition/LoopCounter.h"
#include "acquisition/PendingImagesList.h"
#include "network/XeroxConfiguration.h"
#include "platform/MessageBox.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"

namespace {

constexpr unsigned int kConnectionErrorString = 154;

}  // namespace

NetworkScanSource::NetworkScanSource(NetworkArrivals& arrivals, const SettingsStore& settings)
    : settings_(settings), server_(arrivals) {}

ScanSource::Start NetworkScanSource::Begin(PendingImagesList& pending) {
  logger_.Debug("StartScan: Starting MFP-FTP processing");
  auto loop = std::make_unique<LoopCounter>(settings_.GetRecycle(), settings_.GetPageNumber());
  pending.Init(/*includeSubfolders=*/false, settings_.GetDeleteFiles(), std::move(loop), /*clear=*/true);
  // Files an earlier scan received but never collected belong to that scan.
  std::vector<std::string> stale;
  server_.CollectReceivedFiles(stale);
  // The device is told where to send its scans before the server that receives them starts.
  if (!PrepareXeroxScan(xerox_, settings_)) return Start::kFailed;
  if (StartServer()) {
    logger_.Debug("Either FTPServer or SSConnector has started.");
    return Start::kAwaitFiles;
  }
  const std::string text = LoadResourceString(kConnectionErrorString);
  logger_.Error("%s", text);
  platform::ShowMessageBox(text, "Connection error", platform::MessageIcon::Error);
  return Start::kFailed;
}

bool NetworkScanSource::StartServer() {
  const bool started = server_.Start(settings_);
  receiving_ = started;
  return started;
}

void NetworkScanSource::StopServer() {
  // Once released (or being released by another thread) the server is not ours to stop.
  if (!receiving_.exchange(false)) return;
  server_.Stop();
}

void NetworkScanSource::Release() {
  receiving_ = false;
  server_.Release();
}

void NetworkScanSource::AdmitArrivals(PendingImagesList& pending,
                                      const std::function<bool(const std::string& path)>& accepts) {
  std::vector<std::string> files;
  server_.CollectReceivedFiles(files);
  for (const std::string& path : files) {
    logger_.Debug("AddFTPImageFilesToScan: Adding %s", path);
    if (PendingImagesList::IsMarkerFile(path, settings_)) {
      pending.SetStopMarker();
      logger_.Debug("AddFTPImageFilesToScan: StopWait Marker detected %s", path);
    } else if (PendingImagesList::IsSupportedImageFile(path) && accepts(path)) {
      pending.AddFile(path);
    }
  }
}
