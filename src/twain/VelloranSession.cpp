// The session operations: TWAIN states 3 to 7 as the source moves through them.
#include <cstring>

#include "twain/Velloran.h"

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
  if (m_state != kState4) return Fail(failure_text::kCloseDs, TWCC_SEQERROR);
  m_appIdentity.Id = 0;
  m_state = kState3;
  m_logger.Debug("State3");
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::EnableDS(TW_USERINTERFACE*) {
  return RefuseUnavailable(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS);
}

TW_UINT16 Velloran::DisableDS(TW_USERINTERFACE*) {
  return RefuseUnavailable(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS);
}

TW_UINT16 Velloran::GetPendingXfers(TW_INT16*) {
  return RefuseUnavailable(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET);
}

TW_UINT16 Velloran::EndXfers(TW_INT16*) {
  return RefuseUnavailable(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER);
}

TW_UINT16 Velloran::ResetPendingXfer(TW_INT16*) {
  return RefuseUnavailable(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET);
}
