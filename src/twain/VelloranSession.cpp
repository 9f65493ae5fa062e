// The session operations: TWAIN states 3 to 7 as the source moves through them, the
// notifications to the application, the wait time-out timer and the dialog's lifetime.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "acquisition/PdfLibrary.h"
#include "platform/Module.h"
#include "platform/PixelMemory.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "twain/SettingsDlg.h"
#include "twain/Velloran.h"
#include "twain/capabilities/CapabilityValues.h"

namespace {

constexpr unsigned int kImagesTransferredString = 112;  // "%d images transferred"

// Count is a 16-bit field.
TW_INT16 ToCount(int value) { return static_cast<TW_INT16>(std::clamp(value, 0, 0x7FFF)); }

}  // namespace

TW_UINT16 Velloran::OpenDS(const TwainTriplet& triplet) {
  if (IsApplicationConnected()) return Fail(failure_text::kOpenDs, TWCC_MAXCONNECTIONS);
  if (m_state != kState3) return Fail(failure_text::kOpenDs, TWCC_SEQERROR);
  // Both identities are the caller's temporaries: keep copies, never the pointers.
  std::memcpy(&m_appIdentity, triplet.origin, sizeof(TW_IDENTITY));
  std::memcpy(&m_identity, triplet.data, sizeof(TW_IDENTITY));
  m_state = kState4;
  m_logger.Debug("State 4");
  AddCapabilities();
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::CloseDS() {
  // Whatever the state: an application that fails to close still gets its network servers
  // stopped and the PDF library let go (documents still open keep it until they close).
  ReleaseNetworkObjects();
  ReleasePdfLibrary();
  if (m_state != kState4) return Fail(failure_text::kCloseDs, TWCC_SEQERROR);
  KeepModuleLoadedIfOnDialogThread();
  m_appIdentity.Id = 0;
  m_state = kState3;
  m_logger.Debug("State3");
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::EnableDS(TW_USERINTERFACE* userInterface) {
  if (m_state != kState4) return Fail(failure_text::kEnableDs, TWCC_SEQERROR);
  // The source always runs modeless.
  userInterface->ModalUI = TW_FALSE;

  RetireDialog();
  DeleteEndedDialogs();
  m_dialog = std::make_unique<SettingsDlg>(*this);
  ++m_dialogGeneration;
  m_dialogWindow = m_dialog->Create(userInterface->hParent) ? m_dialog->WindowHandle() : nullptr;
  m_logger.Debug("Created hidden configuration dialog");
  if (m_dialogWindow == nullptr) {
    RetireDialog();
    return Fail(failure_text::kEnableDs, TWCC_LOWMEMORY);
  }

  if (userInterface->ShowUI != TW_FALSE || Settings().GetAlwaysShowUI()) {
    m_logger.Debug("Show configuration dialog, State 5");
    const std::string reason = m_dialog->Show(*m_presenter);
    m_state = kState5;
    if (reason.empty()) return TWRC_SUCCESS;
    // Nobody could press Scan: an application waiting for MSG_XFERREADY would wait for ever.
    m_logger.Error("The configuration dialog cannot be shown, so the scan starts at once: %s", reason);
    StartScan();
    return TWRC_SUCCESS;
  }
  m_state = kState5;
  m_logger.Debug("Configuration dialog is hidden, State 5");
  StartScan();
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::DisableDS(TW_USERINTERFACE*) {
  if (m_state != kState5) return Fail(failure_text::kDisableDs, TWCC_SEQERROR);
  ReleaseCurrentImage();
  // The scan is over: the page-sized block kept for the next page goes back to the system.
  platform::ReleaseSparePixelMemory();
  RetireDialog();
  m_state = kState4;
  m_logger.Debug("State 4");
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::GetPendingXfers(TW_INT16* count) {
  m_logger.Debug("GetPendingXfers");
  switch (m_state) {
    case kState4:
    case kState5:
    case kState6:
      *count = ToCount(PendingCount());
      return TWRC_SUCCESS;
    case kState7:
      // The image being transferred is still in the list. Never -1 ("more, number unknown").
      *count = ToCount(PendingCount() - 1);
      return TWRC_SUCCESS;
    default:
      return Fail(failure_text::kPendingXfers, TWCC_SEQERROR);
  }
}

TW_UINT16 Velloran::EndXfers(TW_INT16* count) {
  m_logger.Debug("EndXfers: start");
  if (m_state != kState6 && m_state != kState7) return Fail(failure_text::kPendingXfers, TWCC_SEQERROR);
  if (LoadNextImageAfterTransfer()) {
    *count = -1;  // further images, number unknown
    m_state = kState6;
    m_logger.Debug("State 6");
    return TWRC_SUCCESS;
  }
  *count = 0;
  m_state = kState5;
  m_logger.Debug("State 5");
  SetInternalState(kScanIdle);
  ReportStatus(ImagesTransferredText());
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::ResetPendingXfer(TW_INT16* count) {
  m_logger.Debug("ResetPendingXfer");
  if (m_state != kState5 && m_state != kState6) return Fail(failure_text::kPendingXfers, TWCC_SEQERROR);
  ReleaseCurrentImage();
  ClearPendingImages();
  *count = 0;
  m_state = kState5;
  m_logger.Debug("State 5");
  return TWRC_SUCCESS;
}

int Velloran::SetInternalState(int newState) {
  const int oldState = m_internalState.exchange(newState);
  m_logger.Debug("SetInternalState from %d to %d", oldState, newState);
  return newState;
}

int Velloran::NextTimerId(int id) { return id == INT_MAX ? 1 : id + 1; }

int Velloran::CreateTimeoutTimer() {
  if (!m_timeoutEnabled) return 0;
  m_logger.Debug("CreateTimeoutTimer: Creating timer");
  const int id = NextTimerId(m_timerIdCounter.load());
  m_timerIdCounter.store(id);
  if (!m_dialog) return 0;
  return static_cast<int>(m_dialog->Window().SetTimer(static_cast<std::uintptr_t>(id),
                                                      static_cast<std::uint32_t>(m_timeoutMs)));
}

void Velloran::KillTimeoutTimer() {
  const int id = m_timerIdCounter.load();
  if (m_dialog && id > 0) m_dialog->Window().KillTimer(static_cast<std::uintptr_t>(id));
}

void Velloran::StopTimeoutTimer() {
  KillTimeoutTimer();
  m_timerIdCounter.store(NextTimerId(m_timerIdCounter.load()));
}

TW_UINT16 Velloran::NotifyXferReady() {
  SessionLock lock(*this);
  m_state = kState6;
  m_driverLogger.Debug("State 6");
  QueueNotification(MSG_XFERREADY);
  return lock.Release();
}

TW_UINT16 Velloran::NotifyCloseDSReq() {
  SessionLock lock(*this);
  QueueNotification(MSG_CLOSEDSREQ);
  return lock.Release();
}

void Velloran::QueueNotification(TW_UINT16 msg) {
  m_notifications.push_back(QueuedNotification{msg, m_identity, m_appIdentity});
}

TW_UINT16 Velloran::SendNotifications(const std::vector<QueuedNotification>& notifications) const noexcept {
  TW_UINT16 result = TWRC_SUCCESS;
  for (const QueuedNotification& queued : notifications) {
    try {
      const DSMENTRYPROC dsmEntry = FindDsm();
      if (dsmEntry == nullptr) continue;  // lost; FindDsm has logged why
      m_driverLogger.Debug(queued.msg == MSG_XFERREADY ? "Call DSM_Entry from NotifyXferReady"
                                                       : "Call DSM_Entry from NotifyCloseDSReq");
      // The manager takes non-const pointers; the copies are ours to hand out.
      TW_IDENTITY source = queued.source;
      TW_IDENTITY application = queued.application;
      result = dsmEntry(&source, &application, DG_CONTROL, DAT_NULL, queued.msg, nullptr);
    } catch (...) {
      // Only the manager search can throw (out of memory): the notification is lost like one
      // without a manager, and the lock bookkeeping of the caller stays intact.
      result = TWRC_FAILURE;
    }
  }
  return result;
}

void Velloran::ReportStatus(const std::string& text) {
  if (!m_dialog) return;
  const int done = m_xferCount;
  const int wanted = CapabilityValues::XferCount();
  int total = wanted != -1 ? wanted : PendingCount() + m_xferCount;
  total = std::max(total, done);
  m_dialog->SetStatus(text, done, total);
}

std::string Velloran::ImagesTransferredText() const {
  const std::string format = LoadResourceString(kImagesTransferredString);
  char text[128] = {};
  std::snprintf(text, sizeof(text), format.c_str(), m_xferCount);
  return text;
}

void Velloran::ReleaseNetworkObjects() {
  // A wait for network images would otherwise go on for files that can no longer come.
  m_cancelEvent.Set();
  {
    // The server's event thread may be waiting for the session lock; releasing the server waits
    // for that thread.
    BlockingWaitScope unlocked(*this);
    m_networkSource.Release();
  }
  m_logger.Debug("ReleaseNetworkObjects: done");
}

void Velloran::RetireDialog() {
  m_dialogWindow = nullptr;
  if (!m_dialog) return;
  m_dialog->Destroy();
  m_retiredDialogs.push_back(std::move(m_dialog));
}

void Velloran::DeleteEndedDialogs() {
  std::erase_if(m_retiredDialogs, [](const std::unique_ptr<SettingsDlg>& dialog) {
    return dialog->Window().HasEnded() && !dialog->Window().IsWindowThread();
  });
}

void Velloran::JoinRetiredDialogs() {
  for (std::unique_ptr<SettingsDlg>& dialog : m_retiredDialogs) {
    if (dialog->Window().Join()) {
      dialog.reset();
    } else {
      // Only at process exit can the source be destroyed on a dialog's own thread (a source
      // closed there is never unloaded): the thread is still inside the dialog, so it stays.
      [[maybe_unused]] SettingsDlg* stays = dialog.release();
    }
  }
  m_retiredDialogs.clear();
}

bool Velloran::IsOnDialogThread() const {
  if (m_dialog && m_dialog->Window().IsWindowThread()) return true;
  return std::any_of(m_retiredDialogs.begin(), m_retiredDialogs.end(),
                     [](const std::unique_ptr<SettingsDlg>& dialog) { return dialog->Window().IsWindowThread(); });
}

void Velloran::KeepModuleLoadedIfOnDialogThread() {
  if (m_moduleKeptLoaded || !IsOnDialogThread()) return;
  // The manager unloads the source right after MSG_CLOSEDS; this thread would then return
  // into unmapped code. An extra reference keeps the module for the rest of the process.
  platform::Module self = platform::Module::Load(platform::OwnModulePath());
  if (!self.IsLoaded()) return;
  self.Keep();
  m_moduleKeptLoaded = true;
  m_logger.Debug("CloseDS on the dialog's thread: the module stays loaded");
}
