#include "twain/TwainDriver.h"

#include <cstring>
#include <string>

#include "platform/Module.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "twain/ConditionText.h"
#include "twain/capabilities/CapStateStorageItem.h"

namespace {

// The identity's texts are TW_STR32 fields: longer texts are cut to 33 characters.
template <std::size_t N>
void LoadIdentityString(unsigned int id, char (&field)[N]) {
  LoadString(id, field, static_cast<int>(N));
}

constexpr unsigned int kVersionInfoString = 102;
constexpr unsigned int kManufacturerString = 103;
constexpr unsigned int kProductFamilyString = 105;
constexpr unsigned int kDiskProductNameString = 107;
constexpr unsigned int kMfpProductNameString = 138;
constexpr unsigned int kRemoteProductNameString = 153;

constexpr int kModeDisk = 0x01;
constexpr int kModeRemote = 0x08;

unsigned int ProductNameString(int mode) {
  if (mode & kModeDisk) return kDiskProductNameString;
  if (mode & kModeRemote) return kRemoteProductNameString;
  return kMfpProductNameString;
}

// The Linux data source manager refuses 1.x sources below 1.5 on 64-bit
// systems, taking them for sources built with a 64-bit long; 1.9 is the
// highest level that still means "1.x source" (no DF_DS2, no DAT_ENTRYPOINT).
constexpr TW_UINT16 kProtocolMajor = 1;
constexpr TW_UINT16 kProtocolMinor = 9;

// Probed in this order: the current manager first, then the older name.
struct DsmCandidate {
  const char* fileName;
  const char* alreadyLoadedText;
  const char* loadedText;
};
constexpr DsmCandidate kDsmCandidates[] = {
    {"libtwaindsm.so.2", "TWAINDSM.DLL is already loaded", "Loaded TWAINDSM.dll"},
    {"libtwaindsm.so", "TWAIN_32.DLL is already loaded", "Loaded TWAIN_32.dll"},
};

}  // namespace

TwainDriver::TwainDriver(ModuleInstance instance, const SettingsStore& settings) : m_instance(instance) {
  m_identity.Id = 0;
  m_identity.Version.MajorNum = 5;
  m_identity.Version.MinorNum = 0;
  m_identity.Version.Language = TWLG_USA;
  m_identity.Version.Country = TWCY_USA;
  LoadIdentityString(kVersionInfoString, m_identity.Version.Info);
  m_identity.ProtocolMajor = kProtocolMajor;
  m_identity.ProtocolMinor = kProtocolMinor;
  m_identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  LoadIdentityString(kManufacturerString, m_identity.Manufacturer);
  LoadIdentityString(kProductFamilyString, m_identity.ProductFamily);
  LoadIdentityString(ProductNameString(settings.GetMode()), m_identity.ProductName);

  if (m_driverLogger.IsDebugEnabled()) {
    m_driverLogger.Debug("Twain driver has been initialized. Name=%s ProductFamily=%s Manufacturer=%s VersionInfo=%s",
                         m_identity.ProductName, m_identity.ProductFamily, m_identity.Manufacturer,
                         m_identity.Version.Info);
  }
}

TwainDriver::~TwainDriver() = default;

TW_UINT16 TwainDriver::OnIdentity(const TwainTriplet& triplet) {
  switch (triplet.msg) {
    case MSG_GET:
      std::memcpy(triplet.data, &m_identity, sizeof(TW_IDENTITY));
      return TWRC_SUCCESS;
    case MSG_OPENDS:
      return OpenDS(triplet);
    case MSG_CLOSEDS:
      return CloseDS();
    default:
      return Fail(failure_text::kIdentity, TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TwainDriver::OnUserInterface(const TwainTriplet& triplet) {
  auto* userInterface = static_cast<TW_USERINTERFACE*>(triplet.data);
  switch (triplet.msg) {
    case MSG_DISABLEDS:
      return DisableDS(userInterface);
    case MSG_ENABLEDS:
      return EnableDS(userInterface);
    default:
      return Fail(failure_text::kUserInterface, TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TwainDriver::OnPendingXfers(const TwainTriplet& triplet) {
  switch (triplet.msg) {
    case MSG_GET:
    case MSG_RESET:
    case MSG_ENDXFER:
      break;
    default:
      return Fail(failure_text::kPendingXfers, TWCC_BADPROTOCOL);
  }
  // Count is the first member: the rest of the structure stays as the application passed it.
  auto* count = static_cast<TW_INT16*>(triplet.data);
  if (triplet.msg == MSG_GET) return GetPendingXfers(count);
  if (triplet.msg == MSG_RESET) return ResetPendingXfer(count);
  return EndXfers(count);
}

TW_UINT16 TwainDriver::OnImageInfo(const TwainTriplet& triplet) {
  if (triplet.msg != MSG_GET) return Fail(failure_text::kTransfer, TWCC_BADPROTOCOL);
  if (!StateSet::Of({6, 7}).Contains(m_state)) return Fail(failure_text::kTransfer, TWCC_SEQERROR);
  return GetImageInfo(*static_cast<TW_IMAGEINFO*>(triplet.data));
}

TW_UINT16 TwainDriver::OnPalette8(const TwainTriplet& triplet) {
  if (triplet.msg != MSG_GET) return Fail(failure_text::kPalette8, TWCC_BADPROTOCOL);
  if (!StateSet::Of({4, 5, 6, 7}).Contains(m_state)) return Fail(failure_text::kTransfer, TWCC_SEQERROR);
  return GetPalette8(*static_cast<TW_PALETTE8*>(triplet.data));
}

CapStateStorageItem* TwainDriver::FindCapability(TW_UINT16 capabilityId) const {
  const auto it = m_capabilities.find(capabilityId);
  return it == m_capabilities.end() ? nullptr : it->second.get();
}

TW_UINT16 TwainDriver::OnStatus(const TwainTriplet& triplet) {
  if (triplet.msg != MSG_GET) return Fail(failure_text::kStatus, TWCC_BADPROTOCOL);
  auto* status = static_cast<TW_STATUS*>(triplet.data);
  status->ConditionCode = m_status.ConditionCode;
  status->Reserved = 0;
  m_status.ConditionCode = TWCC_SUCCESS;
  return TWRC_SUCCESS;
}

void TwainDriver::ReportCondition(const char* failureText, TW_UINT16 conditionCode) const {
  m_driverLogger.Error("%s%s", failureText, ConditionText(conditionCode));
}

TW_UINT16 TwainDriver::Fail(const char* failureText, TW_UINT16 conditionCode) {
  m_status.ConditionCode = conditionCode;
  ReportCondition(failureText, conditionCode);
  return TWRC_FAILURE;
}

TW_UINT16 TwainDriver::FailFromException(const char* what) noexcept {
  m_status.ConditionCode = TWCC_BUMMER;
  try {
    m_driverLogger.Error("Exception caught in DS_Entry: %s. %s", what ? what : "unknown exception",
                         ConditionText(TWCC_BUMMER));
  } catch (...) {
    // Logging failed as well; the condition code still tells the application.
  }
  return TWRC_FAILURE;
}

DSMENTRYPROC TwainDriver::FindDsm() const {
  for (const DsmCandidate& candidate : kDsmCandidates) {
    platform::Module loaded = platform::Module::FindLoaded(candidate.fileName);
    if (!loaded.IsLoaded()) continue;
    m_driverLogger.Debug(candidate.alreadyLoadedText);
    // The manager stays loaded through its user's own reference.
    return reinterpret_cast<DSMENTRYPROC>(loaded.Symbol("DSM_Entry"));
  }
  for (const DsmCandidate& candidate : kDsmCandidates) {
    platform::Module module = platform::Module::Load(candidate.fileName);
    if (!module.IsLoaded()) continue;
    m_driverLogger.Debug(candidate.loadedText);
    auto* entry = reinterpret_cast<DSMENTRYPROC>(module.Symbol("DSM_Entry"));
    module.Keep();  // a manager the source loaded is never unloaded
    return entry;
  }
  m_driverLogger.Error("TWAINDSM.dll and TWAIN_32.DLL are not loaded.");
  return nullptr;
}

TW_UINT16 TwainDriver::NotifyXferReady() {
  m_state = kState6;
  m_driverLogger.Debug("State 6");
  const DSMENTRYPROC dsmEntry = FindDsm();
  if (dsmEntry == nullptr) return TWRC_SUCCESS;
  m_driverLogger.Debug("Call DSM_Entry from NotifyXferReady");
  return dsmEntry(&m_identity, &m_appIdentity, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr);
}

TW_UINT16 TwainDriver::NotifyCloseDSReq() {
  const DSMENTRYPROC dsmEntry = FindDsm();
  if (dsmEntry == nullptr) return TWRC_SUCCESS;
  m_driverLogger.Debug("Call DSM_Entry from NotifyCloseDSReq");
  return dsmEntry(&m_identity, &m_appIdentity, DG_CONTROL, DAT_NULL, MSG_CLOSEDSREQ, nullptr);
}
