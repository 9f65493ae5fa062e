#include "TwainApplication.h"

#include <chrono>
#include <cstring>

#include "twain/ConditionText.h"

namespace twacquire {

namespace {

template <std::size_t N>
void CopyText(char (&field)[N], const char* text) {
  std::strncpy(field, text, N - 1);
  field[N - 1] = '\0';
}

// The manager calls back without a context of ours; there is one application per process.
TwainApplication* g_application = nullptr;

}  // namespace

TwainApplication::TwainApplication(const DataSourceManager& manager) : manager_(manager) {
  application_.Version.MajorNum = 1;
  application_.Version.MinorNum = 0;
  application_.Version.Language = TWLG_USA;
  application_.Version.Country = TWCY_USA;
  CopyText(application_.Version.Info, "twacquire 1.0");
  application_.ProtocolMajor = 2;
  application_.ProtocolMinor = 4;
  // DF_APP2: notifications come through the registered callback.
  application_.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
  CopyText(application_.Manufacturer, "Oskaveld");
  CopyText(application_.ProductFamily, "Velloran tools");
  CopyText(application_.ProductName, "twacquire");
  g_application = this;
}

TwainApplication::~TwainApplication() {
  if (sourceOpen_) {
    TW_USERINTERFACE userInterface{};
    Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &userInterface);
    CloseSource();
  }
  if (managerOpen_) CloseManager();
  if (g_application == this) g_application = nullptr;
}

bool TwainApplication::OpenManager() {
  const TW_UINT16 rc = manager_.Entry(&application_, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr);
  if (rc != TWRC_SUCCESS) return Fail("opening the data source manager", rc, false);
  managerOpen_ = true;
  return true;
}

bool TwainApplication::FindSource(const std::string& productFamily, TW_IDENTITY& found) {
  TW_IDENTITY candidate{};
  TW_UINT16 rc = manager_.Entry(&application_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &candidate);
  while (rc == TWRC_SUCCESS) {
    if (productFamily == candidate.ProductFamily) {
      found = candidate;
      return true;
    }
    rc = manager_.Entry(&application_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &candidate);
  }
  lastError_ = "the data source manager offers no source of the family \"" + productFamily + "\"";
  return false;
}

bool TwainApplication::OpenSource(const std::string& productFamily) {
  source_ = TW_IDENTITY{};
  if (!productFamily.empty() && !FindSource(productFamily, source_)) return false;
  TW_UINT16 rc = manager_.Entry(&application_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_);
  if (rc != TWRC_SUCCESS) return Fail("opening the data source", rc, false);
  sourceOpen_ = true;

  TW_CALLBACK callback{};
  callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&TwainApplication::OnNotification);
  rc = manager_.Entry(&application_, &source_, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback);
  if (rc != TWRC_SUCCESS) return Fail("registering the notification callback", rc, false);
  return true;
}

bool TwainApplication::CloseSource() {
  const TW_UINT16 rc = manager_.Entry(&application_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_);
  if (rc != TWRC_SUCCESS) return Fail("closing the data source", rc, true);
  sourceOpen_ = false;
  return true;
}

bool TwainApplication::CloseManager() {
  const TW_UINT16 rc = manager_.Entry(&application_, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr);
  if (rc != TWRC_SUCCESS) return Fail("closing the data source manager", rc, false);
  managerOpen_ = false;
  return true;
}

TW_UINT16 TwainApplication::Send(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  return manager_.Entry(&application_, &source_, dg, dat, msg, data);
}

std::optional<TW_UINT16> TwainApplication::WaitForNotification(int timeoutMs) {
  std::unique_lock lock(notificationsLock_);
  const auto arrived = [this] { return !notifications_.empty() || stopWaiting_; };
  if (timeoutMs <= 0) {
    notificationArrived_.wait(lock, arrived);
  } else if (!notificationArrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                            arrived)) {
    return std::nullopt;
  }
  if (stopWaiting_) return std::nullopt;
  const TW_UINT16 msg = notifications_.front();
  notifications_.pop_front();
  return msg;
}

void TwainApplication::StopWaiting() {
  {
    std::lock_guard lock(notificationsLock_);
    stopWaiting_ = true;
  }
  notificationArrived_.notify_all();
}

void TwainApplication::BreakSourceWait() const {
  // Copies: the manager takes writable identities, and the blocked thread owns the members.
  TW_IDENTITY application = application_;
  TW_IDENTITY source = source_;
  manager_.Entry(&application, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source);
}

TW_UINT16 TwainApplication::OnNotification(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16, TW_UINT16 msg,
                                           TW_MEMREF) {
  TwainApplication* application = g_application;
  if (application == nullptr) return TWRC_FAILURE;
  {
    std::lock_guard lock(application->notificationsLock_);
    application->notifications_.push_back(msg);
  }
  application->notificationArrived_.notify_all();
  return TWRC_SUCCESS;
}

std::string TwainApplication::SourceFailure(const std::string& what, TW_UINT16 rc) {
  Fail(what, rc, true);
  return lastError_;
}

// The condition comes from the source when it answered, else from the manager.
bool TwainApplication::Fail(const std::string& what, TW_UINT16 rc, bool askSource) {
  TW_STATUS status{};
  const TW_UINT16 statusRc =
      manager_.Entry(&application_, askSource ? &source_ : nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
  lastError_ = what + " failed (return code " + std::to_string(rc) + ")";
  if (statusRc == TWRC_SUCCESS) {
    lastError_ += ": " + std::string(ConditionText(status.ConditionCode)) + " (condition code " +
                  std::to_string(status.ConditionCode) + ")";
  }
  return false;
}

}  // namespace twacquire
