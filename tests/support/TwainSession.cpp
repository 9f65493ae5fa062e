#include "support/TwainSession.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>

namespace test_support {

namespace {

// Callbacks find their session through the RefCon they registered.
std::mutex g_sessionsLock;
std::map<TW_UINT32, TwainSession*> g_sessions;
TW_UINT32 g_nextKey = 1;

template <std::size_t N>
void CopyText(char (&field)[N], const char* text) {
  std::strncpy(field, text, N - 1);
  field[N - 1] = '\0';
}

}  // namespace

TestDsm::TestDsm(const std::string& libraryPath, const std::string& sourcePath) {
  library_ = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library_ == nullptr) throw std::runtime_error("cannot load the test manager: " + std::string(dlerror()));
  entry_ = Resolve<DSMENTRYPROC>("DSM_Entry");
  SetSourcePath(sourcePath);
  ClearNotifications();
}

TestDsm::~TestDsm() {
  if (library_ != nullptr) dlclose(library_);
}

template <typename Function>
Function TestDsm::Resolve(const char* name) const {
  void* symbol = dlsym(library_, name);
  if (symbol == nullptr) throw std::runtime_error(std::string("the test manager lacks ") + name);
  return reinterpret_cast<Function>(symbol);
}

TW_UINT16 TestDsm::Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                         TW_UINT16 msg, TW_MEMREF data) const {
  return entry_(origin, destination, dg, dat, msg, data);
}

void TestDsm::SetSourcePath(const std::string& path) const {
  Resolve<void (*)(const char*)>("TestDsm_SetSourcePath")(path.c_str());
}

std::vector<TestDsmNotification> TestDsm::Notifications() const {
  const auto count = Resolve<int (*)()>("TestDsm_NotificationCount");
  const auto get = Resolve<int (*)(int, TestDsmNotification*)>("TestDsm_GetNotification");
  std::vector<TestDsmNotification> result;
  TestDsmNotification notification{};
  for (int i = 0, n = count(); i < n && get(i, &notification); ++i) result.push_back(notification);
  return result;
}

void TestDsm::ClearNotifications() const { Resolve<void (*)()>("TestDsm_ClearNotifications")(); }

int TestDsm::SourceLoadCount() const { return Resolve<int (*)()>("TestDsm_SourceLoadCount")(); }

TwainSession::TwainSession(const TestDsm& dsm, const char* productName) : dsm_(dsm) {
  app_.Version.MajorNum = 1;
  app_.Version.Language = TWLG_USA;
  app_.Version.Country = TWCY_USA;
  CopyText(app_.Version.Info, "test");
  app_.ProtocolMajor = 2;
  app_.ProtocolMinor = 4;
  app_.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
  CopyText(app_.Manufacturer, "Velloran tests");
  CopyText(app_.ProductFamily, "Tests");
  CopyText(app_.ProductName, productName);
  std::lock_guard lock(g_sessionsLock);
  callbackKey_ = g_nextKey++;
  g_sessions[callbackKey_] = this;
}

TwainSession::~TwainSession() {
  if (sourceOpen_) {
    // Bring a source left in state 6 or 7 back to state 5 first, or it refuses to be
    // disabled and closed and stays open for the next test of the process.
    TW_PENDINGXFERS pending{};
    Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    TW_USERINTERFACE ui{};
    Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    CloseSource();
  }
  if (dsmOpen_) CloseDsm();
  std::lock_guard lock(g_sessionsLock);
  g_sessions.erase(callbackKey_);
}

TW_UINT16 TwainSession::OpenDsm() {
  const TW_UINT16 rc = dsm_.Entry(&app_, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr);
  if (rc == TWRC_SUCCESS) dsmOpen_ = true;
  return rc;
}

TW_UINT16 TwainSession::CloseDsm() {
  const TW_UINT16 rc = dsm_.Entry(&app_, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr);
  if (rc == TWRC_SUCCESS) dsmOpen_ = false;
  return rc;
}

TW_UINT16 TwainSession::OpenSource() {
  source_ = TW_IDENTITY{};
  const TW_UINT16 rc = dsm_.Entry(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_);
  if (rc != TWRC_SUCCESS) return rc;
  sourceOpen_ = true;
  TW_CALLBACK callback{};
  callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&TwainSession::Callback);
  callback.RefCon = callbackKey_;
  return dsm_.Entry(&app_, &source_, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback);
}

TW_UINT16 TwainSession::CloseSource() {
  const TW_UINT16 rc = dsm_.Entry(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_);
  if (rc == TWRC_SUCCESS) sourceOpen_ = false;
  return rc;
}

TW_UINT16 TwainSession::Send(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  return dsm_.Entry(&app_, &source_, dg, dat, msg, data);
}

TW_UINT16 TwainSession::SourceCondition() {
  TW_STATUS status{};
  if (Send(DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return 0xFFFF;
  return status.ConditionCode;
}

TW_UINT16 TwainSession::DsmCondition() {
  TW_STATUS status{};
  if (dsm_.Entry(&app_, nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return 0xFFFF;
  return status.ConditionCode;
}

TW_UINT16 TwainSession::SetOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item) {
  auto* value = static_cast<TW_ONEVALUE*>(std::calloc(1, sizeof(TW_ONEVALUE)));
  value->ItemType = itemType;
  value->Item = item;
  TW_CAPABILITY capability{cap, TWON_ONEVALUE, value};
  const TW_UINT16 result = Send(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
  std::free(value);
  return result;
}

std::vector<TW_UINT16> TwainSession::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void TwainSession::OnNotification(std::function<TW_UINT16(TW_UINT16)> handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

TW_UINT16 TwainSession::Callback(TW_IDENTITY*, TW_IDENTITY* destination, TW_UINT32, TW_UINT16, TW_UINT16 msg,
                                 TW_MEMREF) {
  TwainSession* session = nullptr;
  {
    std::lock_guard lock(g_sessionsLock);
    for (const auto& [key, candidate] : g_sessions) {
      if (destination != nullptr && candidate->app_.Id == destination->Id) session = candidate;
    }
  }
  return session != nullptr ? session->Deliver(msg) : TWRC_FAILURE;
}

TW_UINT16 TwainSession::Deliver(TW_UINT16 msg) {
  std::function<TW_UINT16(TW_UINT16)> handler;
  {
    std::lock_guard lock(mutex_);
    received_.push_back(msg);
    handler = handler_;
  }
  // The handler may call the source again: no lock is held here.
  return handler ? handler(msg) : TWRC_SUCCESS;
}

}  // namespace test_support
