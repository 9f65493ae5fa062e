#include "twain/Velloran.h"

#include "settings/SettingsStore.h"

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
    : TwainDriver(instance, settings), m_settings(settings) {}

Velloran::~Velloran() = default;

TW_UINT16 Velloran::Dispatch(const TwainTriplet& triplet) {
  if (IsFromOtherApplication(triplet.origin)) return TWRC_FAILURE;
  if (triplet.msg == MSG_PROCESSEVENT) return ProcessEvent(static_cast<TW_EVENT*>(triplet.data));

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
