// Scanning members of the data source: starting a batch, the decision after each transfer,
// network images arriving and the wait time-out. No image source is wired in yet: a batch
// delivers nothing and ends at the first decision.
#include "twain/Velloran.h"

#include <mutex>

#include "twain/capabilities/CapabilityValues.h"

void Velloran::StartScan() {
  ReleaseCurrentImage();
  m_xferCount = 0;
}

bool Velloran::LoadNextImageAfterTransfer() {
  const int wanted = CapabilityValues::XferCount();
  m_logger.Debug("EndXfers: gCurrentXferCount=%d m_nXferCount=%d", wanted, m_xferCount);
  if ((wanted != -1 && m_xferCount >= wanted) || InternalState() == kScanCancelRequested) {
    m_logger.Debug("EndXfers: cancel or number of images exceed");
  }
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

int Velloran::PendingCount() const { return 0; }

void Velloran::ReleaseCurrentImage() {}

void Velloran::ClearPendingImages() {}
