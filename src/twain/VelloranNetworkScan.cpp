// The data source's side of a network batch: files arriving while it runs, the time-out that
// closes it, and the wait of MSG_ENDXFER for files still to come with its "Stop waiting" dialog.
#include "twain/Velloran.h"

#include <mutex>

namespace {

// ProcessingMode 1 offers the first image only after the end marker or the time-out.
constexpr int kStartAfterMarker = 1;

}  // namespace

void Velloran::StopFtpServer() { m_networkSource.StopServer(); }

void Velloran::OnNetworkFilesArrived() {
  SessionLock lock(*this);
  // Events still on their way while the server is being released find nothing to do.
  if (!m_networkSource.MayReceiveMore()) return;
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
  const bool idle = m_pendingImages.CurrentIndex() == -1;
  m_networkSource.AdmitArrivals(m_pendingImages, [this](const std::string& path) { return CheckImage(path); });
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
  m_waitDialog.Show();
  m_logger.Debug("LoadNextImageWithWait: wait for cancel dialog");
  const std::uint32_t limit = m_timeoutEnabled ? static_cast<std::uint32_t>(m_timeoutMs) : platform::INFINITE;
  std::uint32_t shown = platform::WAIT_FAILED;
  {
    // The blocked thread holds nothing that the dialog's thread or the server's may need.
    BlockingWaitScope unlocked(*this);
    shown = m_waitDialog.WaitUntilShown();
  }
  if (shown != platform::WAIT_OBJECT_0) {
    m_waitDialog.End();
    m_logger.Error("LoadNextImageWithWait: WaitForSingleObject error: %d", static_cast<int>(shown));
    return 2;
  }
  const int result = WaitForNetworkImage(limit);
  m_waitDialog.End();
  return result;
}

int Velloran::WaitForNetworkImage(std::uint32_t limit) {
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

void Velloran::OnWaitDialogCancelled() {
  SetInternalState(kScanCancelRequested);
  m_cancelEvent.Set();
}
