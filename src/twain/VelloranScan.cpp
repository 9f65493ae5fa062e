// Scanning members of the data source: starting a batch from disk or from the network,
// filling the pending list, producing the current image, the decision after each transfer, the
// wait for network images, and the Folder page's file list.
#include "twain/Velloran.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "acquisition/FileListFile.h"
#include "platform/MessageBox.h"
#include "platform/SystemInfo.h"
#include "resources/StringTable.h"
#include "settings/ScanMode.h"
#include "settings/SettingsStore.h"
#include "twain/capabilities/CapabilityValues.h"

namespace {

constexpr int kFolderPage = 0x08;  // bit of UIMode: the dialog has the Folder page
constexpr unsigned int kConnectionErrorString = 154;
// ProcessingMode 1 offers the first image only after the end marker or the time-out.
constexpr int kStartAfterMarker = 1;

// Loop mode writes its page number into CAP_XFERCOUNT, a signed 16-bit value where -1 means
// "no limit": the number is kept within 0..32767.
TW_INT16 LoopTransferCount(int pageNumber) { return static_cast<TW_INT16>(std::clamp(pageNumber, 0, 32767)); }

}  // namespace

bool Velloran::IsDiskMode() const { return scan_mode::IsDisk(Settings().GetMode()); }

void Velloran::StartScan() {
  m_xferCount = 0;
  ReleaseCurrentImage();
  if (!IsDiskMode()) {
    StartNetworkScan();
    return;
  }
  if (Settings().GetRecycle()) CapabilityValues::SetXferCount(LoopTransferCount(Settings().GetPageNumber()));
  SetInternalState(kScanRunning);
  m_logger.Debug("StartScan: Starting simple scan from disk");
  FirstImageStep();
}

void Velloran::FillFromSettings() {
  auto loop = std::make_unique<LoopCounter>(Settings().GetRecycle(), Settings().GetPageNumber());
  const std::string folder = Settings().GetExpandedCurrentDirectory();
  const bool includeSubfolders = Settings().GetIncludeSubfolders();
  const bool deleteFiles = Settings().GetDeleteFiles();
  if (Settings().GetListMode() != 0) {
    // The entries are the file list as the Folder page last loaded it.
    m_pendingImages.Init(includeSubfolders, deleteFiles, std::move(loop), /*clear=*/false);
    return;
  }
  m_pendingImages.Init(includeSubfolders, deleteFiles, std::move(loop), /*clear=*/true);
  m_pendingImages.AddFolder(folder);
}

void Velloran::FirstImageStep() {
  const bool diskMode = IsDiskMode();
  if (diskMode) FillFromSettings();
  if (LoadNextImage()) {
    SetInternalState(kScanRunning);
    NotifyXferReady();
    return;
  }
  if (!diskMode && m_processingMode != 1) return;
  m_logger.Error("Failed to load any images, CloseDS required");
  NotifyCloseDSReq();
}

bool Velloran::LoadNextImage() {
  const NegotiatedFormat format{CapabilityValues::PixelType(), CapabilityValues::BitDepth(),
                                CapabilityValues::PixelFlavor(), CapabilityValues::XResolution(),
                                CapabilityValues::YResolution()};
  return m_imageLoader.LoadNextImage(format, [this](const std::string& path) { ReportStatus(path); });
}

bool Velloran::CheckImage(const std::string& path) const { return m_imageLoader.CheckImage(path); }

bool Velloran::LoadNextImageAfterTransfer() {
  CImageFile* file = m_imageLoader.OpenFile();
  FileListEntry entry;
  m_pendingImages.GetCurrent(entry);
  // A page skipped in state 6, or a memory transfer cut short, did not go out.
  if (file != nullptr && file->Image().WentOutWhole()) file->MarkCurrentPageDelivered();
  if (file == nullptr || file->IsLastPage()) {
    const bool held = file != nullptr;
    const bool delivered = held && file->DeliveredEveryWantedPage(entry);
    const std::optional<platform::FileIdentity> read = held ? file->IdentityWhenRead() : std::nullopt;
    ReleaseCurrentImage();
    if (delivered) {
      const int code = m_pendingImages.DeleteFileIfNeed(read);
      if (code != 0) m_logger.Error("Failed to delete file. Error %d: %s", code, platform::SystemErrorText(code));
    } else if (held) {
      m_logger.Debug("EndXfers: not every page of %s was transferred, the file stays", entry.path);
    }
  }
  const int wanted = CapabilityValues::XferCount();
  m_logger.Debug("EndXfers: gCurrentXferCount=%d m_nXferCount=%d", wanted, m_xferCount);
  if ((wanted != -1 && m_xferCount >= wanted) || InternalState() == kScanCancelRequested) {
    m_logger.Debug("EndXfers: cancel or number of images exceed");
    m_logger.Debug("EndXfers: no new images");
    // No transfer can follow in state 5: the page held goes (its file is not deleted).
    ReleaseCurrentImage();
    return false;
  }
  if (LoadNextImage()) {
    m_logger.Debug("EndXfers: new image was loaded");
    return true;
  }
  // Without a running server no file can come to wait for.
  if (IsDiskMode() || m_pendingImages.IsStopMarkerSet() || !m_acceptArrivals) {
    m_logger.Debug("EndXfers: no new images");
    return false;
  }
  m_logger.Debug("EndXfers: trying to wait for new");
  ReleaseCurrentImage();
  if (LoadNextImageWithWait() == 0) {
    m_logger.Debug("EndXfers: wait success");
    return true;
  }
  m_logger.Debug("EndXfers: wait failure");
  return false;
}

void Velloran::StartNetworkScan() {
  m_logger.Debug("StartScan: Starting MFP-FTP processing");
  m_xferCount = 0;
  m_cancelEvent.Reset();
  SetInternalState(kScanIdle);
  auto loop = std::make_unique<LoopCounter>(Settings().GetRecycle(), Settings().GetPageNumber());
  m_pendingImages.Init(/*includeSubfolders=*/false, Settings().GetDeleteFiles(), std::move(loop), /*clear=*/true);
  {
    // Files an earlier scan received but never collected belong to that scan.
    std::lock_guard wait(m_waitLock);
    std::vector<std::string> stale;
    m_network.CollectReceivedFiles(stale);
  }
  if (StartFtpServer()) {
    m_logger.Debug("Either FTPServer or SSConnector has started.");
    return;
  }
  const std::string text = LoadResourceString(kConnectionErrorString);
  m_logger.Error("%s", text);
  platform::ShowMessageBox(text, "Connection error", platform::MessageIcon::Error);
  NotifyCloseDSReq();
}

bool Velloran::StartFtpServer() {
  const bool started = m_network.Start(Settings());
  m_acceptArrivals = started;
  return started;
}

void Velloran::StopFtpServer() {
  // Once released (or being released by another thread) the server is not ours to stop.
  if (!m_acceptArrivals.exchange(false)) return;
  m_network.Stop();
}

void Velloran::OnNetworkFilesArrived() {
  SessionLock lock(*this);
  // Events still on their way while the server is being released find nothing to do.
  if (!m_acceptArrivals) return;
  AddFTPImageFilesToScan();
}

void Velloran::OnWaitImagesTimer(int timerId) {
  std::lock_guard wait(m_waitLock);
  m_logger.Debug("OnWaitImagesTimer: Timeout occured");
  if (timerId != TimerIdCounter()) {
    m_logger.Debug("OnWaitImagesTimer: Old timer");
    return;
  }
  StopTimeoutTimer();
  if (m_pendingImages.IsStopMarkerSet()) {
    m_logger.Debug("OnWaitImagesTimer: Marker was already set");
    return;
  }
  m_pendingImages.SetStopMarker();
  if (m_pendingImages.CurrentIndex() == -1) {
    m_logger.Debug("OnWaitImagesTimer: Spin initial scan");
    FirstImageStep();
  }
}

void Velloran::AddFTPImageFilesToScan() {
  std::lock_guard wait(m_waitLock);
  if (m_timeoutEnabled) KillTimeoutTimer();
  m_logger.Debug("AddFTPImageFilesToScan: New images arrived");
  if (m_pendingImages.IsStopMarkerSet()) {
    m_logger.Debug("AddFTPImageFilesToScan: Too late, new images will be discarded");
    return;
  }
  std::vector<std::string> files;
  m_network.CollectReceivedFiles(files);
  const bool idle = m_pendingImages.CurrentIndex() == -1;
  for (const std::string& path : files) {
    m_logger.Debug("AddFTPImageFilesToScan: Adding %s", path);
    if (PendingImagesList::IsMarkerFile(path, Settings())) {
      m_pendingImages.SetStopMarker();
      m_logger.Debug("AddFTPImageFilesToScan: StopWait Marker detected %s", path);
    } else if (PendingImagesList::IsSupportedImageFile(path) && CheckImage(path)) {
      m_pendingImages.AddFile(path);
    }
  }
  const bool startNow =
      m_processingMode == 0 || (m_processingMode == kStartAfterMarker && m_pendingImages.IsStopMarkerSet());
  if (idle && startNow) {
    m_logger.Debug("AddFTPImageFilesToScan: Spin initial scan");
    FirstImageStep();
  } else if (m_processingMode == kStartAfterMarker) {
    CreateTimeoutTimer();
  }
  m_logger.Debug("AddFTPImageFilesToScan: Set Have Data signal");
  m_haveDataEvent.Set();
}

int Velloran::LoadNextImageWithWait() {
  if (InternalState() == kScanCancelRequested || m_pendingImages.IsStopMarkerSet()) return 1;
  m_logger.Debug("LoadNextImageWithWait: going to wait for next images");
  m_cancelEvent.Reset();
  // The wait dialog is drawn by the user interface process; without one it counts as shown at
  // once, and the cancel comes from CancelWait.
  m_logger.Debug("LoadNextImageWithWait: wait for cancel dialog");
  const std::uint32_t limit = m_timeoutEnabled ? static_cast<std::uint32_t>(m_timeoutMs) : platform::INFINITE;
  for (;;) {
    m_logger.Debug("LoadNextImageWithWait: wait begins");
    std::uint32_t result = platform::WAIT_FAILED;
    {
      // Files arrive through the server's thread, which needs the session lock.
      BlockingWaitScope unlocked(*this);
      result = platform::WaitForMultiple({&m_cancelEvent, &m_haveDataEvent}, limit);
    }
    m_logger.Debug("LoadNextImageWithWait: wait ends");
    if (result != platform::WAIT_OBJECT_0 && result != platform::WAIT_OBJECT_0 + 1) {
      m_logger.Debug("LoadNextImageWithWait: WaitForMultipleObjects error: %d", static_cast<int>(result));
      return 2;
    }
    if (m_cancelEvent.IsSet()) {
      m_logger.Error("LoadNextImageWithWait: Scan was canceled by user");
      SetInternalState(kScanCancelRequested);
      StopFtpServer();
      return 1;
    }
    if (LoadNextImage()) return 0;
    if (m_pendingImages.IsStopMarkerSet()) return 1;
    m_logger.Error("LoadNextImageWithWait: Incoming image is invalid, continue to wait");
  }
}

void Velloran::CancelWait() {
  SetInternalState(kScanCancelRequested);
  m_cancelEvent.Set();
}

int Velloran::PendingCount() const {
  // The list counts the file at its cursor as delivered; its page is still to be transferred.
  return m_pendingImages.Remaining() + (m_imageLoader.HoldsImage() ? 1 : 0);
}

void Velloran::ReleaseCurrentImage() { m_imageLoader.ReleaseOpenFile(); }

void Velloran::ClearPendingImages() { m_pendingImages.Reset(/*clear=*/true); }

ScanImage* Velloran::CurrentImage() { return m_imageLoader.CurrentImage(); }

void Velloran::LoadFileList() { m_pendingImages.ReplaceEntries(::LoadFileList(Settings().GetFileListPath())); }

void Velloran::InitialiseFolderPage() {
  if ((Settings().GetUIMode() & kFolderPage) != 0) LoadFileList();
}
