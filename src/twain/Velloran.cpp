#include "twain/Velloran.h"

#include "settings/SettingsStore.h"
#include "twain/SettingsDlg.h"

namespace {

using Handler = TW_UINT16 (Velloran::*)(const TwainTriplet&);

struct Route {
  TW_UINT32 dg;
  TW_UINT16 dat;
  Handler handler;
};

// DG/DAT pairs the source answers; the handler checks the message.
const Route kRoutes[] = {
    {DG_CONTROL, DAT_IDENTITY, &Velloran::OnIdentity},
    {DG_CONTROL, DAT_USERINTERFACE, &Velloran::OnUserInterface},
    {DG_CONTROL, DAT_STATUS, &Velloran::OnStatus},
    {DG_CONTROL, DAT_CAPABILITY, &Velloran::OnCapability},
    {DG_CONTROL, DAT_PENDINGXFERS, &Velloran::OnPendingXfers},
    {DG_CONTROL, DAT_SETUPMEMXFER, &Velloran::SetupMemXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, &Velloran::SetupFileXfer},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, &Velloran::NativeXfer},
    {DG_IMAGE, DAT_IMAGEMEMXFER, &Velloran::MemXfer},
    {DG_IMAGE, DAT_IMAGEFILEXFER, &Velloran::FileXfer},
    {DG_IMAGE, DAT_IMAGEINFO, &Velloran::OnImageInfo},
    {DG_IMAGE, DAT_PALETTE8, &Velloran::OnPalette8},
};

const Route* FindRoute(TW_UINT32 dg, TW_UINT16 dat) {
  for (const Route& route : kRoutes) {
    if (route.dg == dg && route.dat == dat) return &route;
  }
  return nullptr;
}

}  // namespace

Velloran::Velloran(ModuleInstance instance, SettingsStore& settings)
    : TwainDriver(instance, settings), m_settings(settings), m_presenter(MakeUserInterfacePresenter()) {
  m_processingMode = settings.GetProcessingMode();
  m_timeoutMs = settings.GetProcessingModeTimeout();
  m_timeoutEnabled = m_timeoutMs > 0;
}

Velloran::~Velloran() {
  {
    SessionLock lock(*this);
    RetireDialog();
  }
  JoinRetiredDialogs();
  ReleaseNetworkObjects();
}

TW_UINT16 Velloran::Dispatch(const TwainTriplet& triplet) {
  SessionLock lock(*this);
  const TW_UINT16 result = RouteTriplet(triplet);
  lock.Release();
  return result;
}

TW_UINT16 Velloran::RouteTriplet(const TwainTriplet& triplet) {
  if (IsFromOtherApplication(triplet.origin)) return TWRC_FAILURE;
  // Only this triplet's data is a TW_EVENT: MSG_PROCESSEVENT with another DG or DAT is routed
  // like any other triplet, and fails there.
  if (triplet.dg == DG_CONTROL && triplet.dat == DAT_EVENT && triplet.msg == MSG_PROCESSEVENT) {
    return ProcessEvent(static_cast<TW_EVENT*>(triplet.data));
  }

  const Route* route = FindRoute(triplet.dg, triplet.dat);
  if (route == nullptr) {
    m_status.ConditionCode = TWCC_BADPROTOCOL;
    return TWRC_FAILURE;
  }
  if (triplet.dg == DG_CONTROL) {
    m_logger.Debug("Call DG_CONTROL_HANDLER: 0x%x", static_cast<unsigned>(triplet.dat));
  } else {
    m_logger.Debug("Call DG_IMAGE_HANDLER: 0x%x", static_cast<unsigned>(triplet.dat));
  }
  if (LacksNeededPointer(triplet)) {
    return Fail(FindTripletRule(triplet.dg, triplet.dat, triplet.msg)->failureText, TWCC_BADVALUE);
  }
  return (this->*route->handler)(triplet);
}

bool Velloran::IsFromOtherApplication(const TW_IDENTITY* origin) const {
  if (!IsApplicationConnected()) return false;
  return origin == nullptr || origin->Id != m_appIdentity.Id;
}

TW_UINT16 Velloran::ProcessEvent(TW_EVENT* event) {
  // Applications on this platform do not forward their events and the dialog
  // runs elsewhere, so no event is ever the source's.
  if (event != nullptr) event->TWMessage = MSG_NULL;
  return TWRC_NOTDSEVENT;
}

bool Velloran::LacksNeededPointer(const TwainTriplet& triplet) const {
  const TripletRule* rule = FindTripletRule(triplet.dg, triplet.dat, triplet.msg);
  if (rule == nullptr || !rule->states.Contains(m_state)) return false;
  if (rule->usesData && triplet.data == nullptr) return true;
  return rule->usesOrigin && triplet.origin == nullptr;
}

TW_UINT16 Velloran::RefuseUnavailable(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
  // Every set-up and transfer DAT accepts MSG_GET, in the same states and with
  // the same failure text as its other messages.
  const TripletRule* rule = FindTripletRule(dg, dat, msg);
  const TripletRule* stateRule = rule != nullptr ? rule : FindTripletRule(dg, dat, MSG_GET);
  if (stateRule == nullptr) {
    m_status.ConditionCode = TWCC_BADPROTOCOL;
    return TWRC_FAILURE;
  }
  if (!stateRule->states.Contains(m_state)) return Fail(stateRule->failureText, TWCC_SEQERROR);
  return Fail(stateRule->failureText, TWCC_BADPROTOCOL);
}

Velloran::SessionLock::SessionLock(Velloran& source) : m_source(&source) {
  source.m_sessionLock.Enter();
  ++source.m_lockDepth;
}

Velloran::SessionLock::~SessionLock() { Release(); }

TW_UINT16 Velloran::SessionLock::Release() {
  if (m_source == nullptr) return TWRC_SUCCESS;
  Velloran& source = *m_source;
  m_source = nullptr;
  std::vector<QueuedNotification> ready;
  if (--source.m_lockDepth == 0) ready.swap(source.m_notifications);
  source.m_sessionLock.Leave();
  return source.SendNotifications(ready);
}

Velloran::BlockingWaitScope::BlockingWaitScope(Velloran& source)
    : m_source(source), m_depth(source.m_lockDepth), m_heldDialog(0) {
  if (source.m_dialog) {
    source.m_dialog->Window().HoldTimerMessages();
    m_heldDialog = source.m_dialogGeneration;
  }
  std::vector<QueuedNotification> ready;
  ready.swap(source.m_notifications);
  source.m_lockDepth = 0;
  for (int i = 0; i < m_depth; ++i) source.m_sessionLock.Leave();
  source.SendNotifications(ready);
}

Velloran::BlockingWaitScope::~BlockingWaitScope() {
  for (int i = 0; i < m_depth; ++i) m_source.m_sessionLock.Enter();
  m_source.m_lockDepth = m_depth;
  // A dialog created meanwhile never had its timers held.
  if (m_heldDialog != 0 && m_source.m_dialog && m_source.m_dialogGeneration == m_heldDialog) {
    m_source.m_dialog->Window().ReleaseTimerMessages();
  }
}
