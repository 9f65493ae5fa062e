// Scanning members of the data source: starting a batch from the source the scan mode chooses,
// producing the current image, the decision after each transfer, and the Folder page's file
// list. What is particular to disk and network sources lives behind ScanSource
// (acquisition/DiskScanSource, network/NetworkScanSource); the network batch's arrivals, time-out
// and wait are in VelloranNetworkScan.cpp.
#include "twain/Velloran.h"

#include <algorithm>

#include "acquisition/FileListFile.h"
#include "platform/SystemInfo.h"
#include "settings/ScanMode.h"
#include "settings/SettingsStore.h"
#include "twain/capabilities/CapabilityValues.h"

namespace {

constexpr int kFolderPage = 0x08;  // bit of UIMode: the dialog has the Folder page

// Loop mode writes its page number into CAP_XFERCOUNT, a signed 16-bit value where -1 means
// "no limit": the number is kept within 0..32767.
TW_INT16 LoopTransferCount(int pageNumber) { return static_cast<TW_INT16>(std::clamp(pageNumber, 0, 32767)); }

}  // namespace

ScanSource& Velloran::SourceFor(int mode) {
  if (scan_mode::IsDisk(mode)) return m_diskSource;
  return m_networkSource;
}

void Velloran::StartScan() {
  m_xferCount = 0;
  ReleaseCurrentImage();
  m_imageLoader.ForgetCheckedPage();
  m_source = &SourceFor(Settings().GetMode());
  // A cancel of an earlier batch's wait no longer counts.
  m_cancelEvent.Reset();
  m_waitDialog.ClearCancelled();
  switch (m_source->Begin(m_pendingImages)) {
    case ScanSource::Start::kDeliverNow:
      if (Settings().GetRecycle()) CapabilityValues::SetXferCount(LoopTransferCount(Settings().GetPageNumber()));
      SetInternalState(kScanRunning);
      m_logger.Debug("StartScan: Starting simple scan from disk");
      FirstImageStep();
      return;
    case ScanSource::Start::kAwaitFiles:
      // The first arrival starts the delivery.
      SetInternalState(kScanIdle);
      return;
    case ScanSource::Start::kFailed:
      SetInternalState(kScanIdle);
      NotifyCloseDSReq();
      return;
  }
}

void Velloran::FirstImageStep() {
  if (LoadNextImage()) {
    SetInternalState(kScanRunning);
    NotifyXferReady();
    return;
  }
  // Files still to come start the batch when they arrive. Once the end marker or the time-out
  // has closed the batch nothing can come any more: the application is asked to close instead
  // of being left waiting.
  if (m_source->MayReceiveMore() && !m_pendingImages.IsStopMarkerSet()) return;
  m_logger.Error("Failed to load any images, CloseDS required");
  NotifyCloseDSReq();
}

bool Velloran::LoadNextImage() {
  const NegotiatedFormat format{CapabilityValues::PixelType(), CapabilityValues::BitDepth(),
                                CapabilityValues::PixelFlavor(), CapabilityValues::XResolution(),
                                CapabilityValues::YResolution()};
  return m_imageLoader.LoadNextImage(format, [this](const std::string& path) { ReportStatus(path); });
}

bool Velloran::CheckImage(const std::string& path) { return m_imageLoader.CheckImage(path); }

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
  if (!m_source->MayReceiveMore() || m_pendingImages.IsStopMarkerSet()) {
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

int Velloran::PendingCount() const {
  // The list counts the file at its cursor as delivered; its page is still to be transferred.
  return m_pendingImages.Remaining() + (m_imageLoader.HoldsImage() ? 1 : 0);
}

void Velloran::ReleaseCurrentImage() { m_imageLoader.ReleaseOpenFile(); }

void Velloran::ClearPendingImages() {
  m_pendingImages.Reset(/*clear=*/true);
  m_imageLoader.ForgetCheckedPage();
}

ScanImage* Velloran::CurrentImage() { return m_imageLoader.CurrentImage(); }

void Velloran::LoadFileList() { m_pendingImages.ReplaceEntries(::LoadFileList(Settings().GetFileListPath())); }

void Velloran::InitialiseFolderPage() {
  if ((Settings().GetUIMode() & kFolderPage) != 0) LoadFileList();
}
