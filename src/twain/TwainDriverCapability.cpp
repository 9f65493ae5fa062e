// DAT_CAPABILITY: negotiation of the capabilities in the driver's map.
#include "twain/TwainDriver.h"
#include "twain/capabilities/CapStateStorageItem.h"

namespace {

const char* MessageName(TW_UINT16 msg) {
  switch (msg) {
    case MSG_GET: return "MSG_GET";
    case MSG_GETCURRENT: return "MSG_GETCURRENT";
    case MSG_GETDEFAULT: return "MSG_GETDEFAULT";
    case MSG_SET: return "MSG_SET";
    case MSG_RESET: return "MSG_RESET";
    case MSG_QUERYSUPPORT: return "MSG_QUERYSUPPORT";
    default: return "Unknown message";
  }
}

// Applications of protocol 1.5 and older know no condition code above TWCC_BADDEST; they are
// told TWCC_BADCAP instead.
bool IsOldApplication(const TW_IDENTITY& application) {
  return application.ProtocolMajor <= 1 && application.ProtocolMinor <= 5;
}

}  // namespace

TW_UINT16 TwainDriver::OnCapability(const TwainTriplet& triplet) {
  // The data of another message need not be a TW_CAPABILITY: it is not read.
  if (FindTripletRule(triplet.dg, triplet.dat, triplet.msg) == nullptr) {
    return Fail(failure_text::kCapability, TWCC_BADPROTOCOL);
  }
  auto* capability = static_cast<TW_CAPABILITY*>(triplet.data);
  const char* messageName = MessageName(triplet.msg);
  TW_UINT16 result = TWRC_FAILURE;
  TW_UINT16 condition = TWCC_CAPUNSUPPORTED;

  CapStateStorageItem* item = capability == nullptr ? nullptr : FindCapability(capability->Cap);
  if (capability == nullptr) {
    // Nothing names a capability: the application's data is missing.
    condition = TWCC_BADVALUE;
  } else if (item == nullptr) {
    m_driverLogger.Error("Message: %s There is no capability with ID: 0x%x", messageName,
                         static_cast<unsigned>(capability->Cap));
  } else {
    const auto run = [&](TW_UINT32 messageBit, auto operation) {
      if (!item->IsSupported(messageBit)) {
        condition = TWCC_CAPBADOPERATION;
        return;
      }
      result = (item->*operation)(*capability, condition);
    };
    switch (triplet.msg) {
      case MSG_GET: run(TWQC_GET, &CapStateStorageItem::Get); break;
      case MSG_GETCURRENT: run(TWQC_GETCURRENT, &CapStateStorageItem::GetCurrent); break;
      case MSG_GETDEFAULT: run(TWQC_GETDEFAULT, &CapStateStorageItem::GetDefault); break;
      case MSG_SET: run(TWQC_SET, &CapStateStorageItem::Set); break;
      case MSG_RESET: run(TWQC_RESET, &CapStateStorageItem::Reset); break;
      case MSG_QUERYSUPPORT: result = item->QuerySupport(*capability, condition); break;
      default: condition = TWCC_BADPROTOCOL; break;
    }
    m_driverLogger.Debug("Message: %s Capability ID: 0x%x", messageName, static_cast<unsigned>(capability->Cap));
  }

  if (result == TWRC_FAILURE) Fail(failure_text::kCapability, condition);
  // After the log line: the log keeps the code as the source found it.
  if (IsOldApplication(m_appIdentity) && m_status.ConditionCode > TWCC_BADDEST) m_status.ConditionCode = TWCC_BADCAP;
  return result;
}
