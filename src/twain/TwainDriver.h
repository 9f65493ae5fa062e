#pragma once

#include <map>
#include <memory>

#include "logging/Logger.h"
#include "twain/TripletRules.h"
#include "twain/TwainTriplet.h"
#include "twain/twain.h"

class CapStateStorageItem;
class SettingsStore;

// The module's own load address; stands for the module in calls that need it.
using ModuleInstance = const void*;

// The abstract TWAIN data source: identity, session state, pending condition
// code and capability map, the answers that every source gives the same way
// (DAT_IDENTITY, DAT_STATUS, the message checks of the session triplets) and
// the link back to the data source manager.
//
// One instance per process, created when the module is loaded. Triplets arrive
// on the application's thread; the notifications may be sent from other
// threads (see NotifyXferReady).
class TwainDriver {
 public:
  using CapabilityMap = std::map<TW_UINT16, std::unique_ptr<CapStateStorageItem>>;

  // Fills the source's identity; the product name follows the scan source
  // chosen by Mode in `settings`.
  TwainDriver(ModuleInstance instance, const SettingsStore& settings);
  TwainDriver(const TwainDriver&) = delete;
  TwainDriver& operator=(const TwainDriver&) = delete;

  // Deletes every capability object in the map.
  virtual ~TwainDriver();

  virtual TW_UINT16 OnIdentity(const TwainTriplet& triplet);
  virtual TW_UINT16 OnUserInterface(const TwainTriplet& triplet);
  virtual TW_UINT16 OnPendingXfers(const TwainTriplet& triplet);
  virtual TW_UINT16 OnImageInfo(const TwainTriplet& triplet);
  virtual TW_UINT16 OnPalette8(const TwainTriplet& triplet);

  // `triplet.origin` is the application's identity, `triplet.data` the source's
  // identity with the id the manager assigned.
  virtual TW_UINT16 OpenDS(const TwainTriplet& triplet) = 0;
  virtual TW_UINT16 CloseDS() = 0;
  // EnableDS and the three pending-transfer operations never get a null data
  // pointer in a state that accepts their triplet (the dispatcher refuses a
  // missing one there); in any other state they may, so their state check
  // comes before any use.
  // Reads ShowUI and hParent, writes ModalUI.
  virtual TW_UINT16 EnableDS(TW_USERINTERFACE* userInterface) = 0;
  // The structure is not read and may be null in every state.
  virtual TW_UINT16 DisableDS(TW_USERINTERFACE* userInterface) = 0;
  // The three operations on pending transfers write only the Count field.
  virtual TW_UINT16 GetPendingXfers(TW_INT16* count) = 0;
  virtual TW_UINT16 EndXfers(TW_INT16* count) = 0;
  virtual TW_UINT16 ResetPendingXfer(TW_INT16* count) = 0;
  virtual TW_UINT16 GetImageInfo(TW_IMAGEINFO& imageInfo) = 0;
  virtual TW_UINT16 GetPalette8(TW_PALETTE8& palette) = 0;
  virtual TW_UINT16 NativeXfer(const TwainTriplet& triplet) = 0;
  virtual TW_UINT16 SetupMemXfer(const TwainTriplet& triplet) = 0;
  virtual TW_UINT16 MemXfer(const TwainTriplet& triplet) = 0;
  virtual TW_UINT16 SetupFileXfer(const TwainTriplet& triplet) = 0;
  virtual TW_UINT16 FileXfer(const TwainTriplet& triplet) = 0;

  // nullptr when the map holds no object for `capabilityId`.
  virtual CapStateStorageItem* FindCapability(TW_UINT16 capabilityId) const;

  // Routes one call of the entry point to its handler.
  virtual TW_UINT16 Dispatch(const TwainTriplet& triplet) = 0;

  // DAT_STATUS: hands out the pending condition code and resets it.
  TW_UINT16 OnStatus(const TwainTriplet& triplet);
  // DAT_CAPABILITY.
  TW_UINT16 OnCapability(const TwainTriplet& triplet);
  // Logs at error level `failureText` followed directly by the text of `conditionCode`.
  void ReportCondition(const char* failureText, TW_UINT16 conditionCode) const;
  // The data source manager's DSM_Entry, looked up afresh on every call;
  // nullptr when no manager can be found.
  DSMENTRYPROC FindDsm() const;
  // Moves to state 6 and tells the application that an image is ready. Lost
  // (only logged) when no manager can be found; returns what the manager answered,
  // 0 when there is none.
  TW_UINT16 NotifyXferReady();
  // Asks the application to close the source; the state is not changed.
  TW_UINT16 NotifyCloseDSReq();

  // Answers a call that let an exception escape: TWRC_FAILURE with TWCC_BUMMER,
  // logged with what was caught. Never throws.
  TW_UINT16 FailFromException(const char* what) noexcept;

  const TW_IDENTITY& Identity() const { return m_identity; }
  const TW_IDENTITY& ApplicationIdentity() const { return m_appIdentity; }
  int State() const { return m_state; }
  TW_UINT16 PendingConditionCode() const { return m_status.ConditionCode; }

 protected:
  // Stores `conditionCode` as the pending condition, reports it and answers TWRC_FAILURE.
  TW_UINT16 Fail(const char* failureText, TW_UINT16 conditionCode);
  bool IsApplicationConnected() const { return m_appIdentity.Id != 0; }

  ModuleInstance m_instance;
  TW_IDENTITY m_identity{};
  TW_IDENTITY m_appIdentity{};  // Id 0 while no application has the source open
  int m_state = kState3;
  TW_STATUS m_status{};         // the pending condition code; Reserved stays 0
  CapabilityMap m_capabilities;
  void* m_dialogWindow = nullptr;  // the source's dialog, once MSG_ENABLEDS created it
  Logger m_driverLogger{"TwainDriver", "TwainDriver"};
};
