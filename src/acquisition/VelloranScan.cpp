// Scanning members of the data source: starting a batch, filling the pending list, producing
// the current image, the decision after each transfer, and the Folder page's file list.
// The network sources (MFP, remote scanner) arrive later: until then a network batch asks the
// application to close the source at once, and the wait time-out and file arrival only log.
#include "twain/Velloran.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "acquisition/FileListFile.h"
#include "platform/SystemInfo.h"
#include "settings/SettingsStore.h"
#include "twain/capabilities/CapabilityValues.h"

namespace {

constexpr int kModeFilesOnDisk = 0x01;  // bit of Mode: the batch comes from files on disk
constexpr int kFolderPage = 0x08;       // bit of UIMode: the dialog has the Folder page

// Loop mode writes its page number into CAP_XFERCOUNT, a signed 16-bit value where -1 means
// "no limit": the number is kept within 0..32767.
TW_INT16 LoopTransferCount(int pageNumber) { return static_cast<TW_INT16>(std::clamp(pageNumber, 0, 32767)); }

}  // namespace

bool Velloran::IsDiskMode() const { return (Settings().GetMode() & kModeFilesOnDisk) != 0; }

void Velloran::StartScan() {
  m_xferCount = 0;
  ReleaseCurrentImage();
  if (!IsDiskMode()) {
    m_logger.Debug("StartScan: Starting MFP-FTP processing");
    // No network source is connected yet: an application must not wait for images that
    // cannot come.
    m_logger.Error("StartScan: no network scan source is available, CloseDS required");
    NotifyCloseDSReq();
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
  // A network batch will wait here for further files once its source is connected.
  m_logger.Debug("EndXfers: no new images");
  return false;
}

void Velloran::OnWaitImagesTimer(int timerId) {
  std::lock_guard wait(m_waitLock);
  m_logger.Debug("OnWaitImagesTimer: Timeout occured");
  if (timerId != TimerIdCounter()) {
    m_logger.Debug("OnWaitImagesTimer: Old timer");
    return;
  }
  StopTimeoutTimer();
}

void Velloran::AddFTPImageFilesToScan() {
  std::lock_guard wait(m_waitLock);
  if (m_timeoutEnabled) KillTimeoutTimer();
  m_logger.Debug("AddFTPImageFilesToScan: New images arrived");
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
