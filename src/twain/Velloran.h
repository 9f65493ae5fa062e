#pragma once

#include "logging/Logger.h"
#include "twain/TwainDriver.h"

class SettingsStore;

// The data source: routes every triplet to its handler and runs the session.
// The session operations live in VelloranSession.cpp, the transfers in
// VelloranTransfers.cpp, the capability set-up in VelloranCapabilities.cpp.
class Velloran : public TwainDriver {
 public:
  // `settings` must outlive the source (the module deletes the source first).
  Velloran(ModuleInstance instance, SettingsStore& settings);
  ~Velloran() override;

  TW_UINT16 Dispatch(const TwainTriplet& triplet) override;

  TW_UINT16 OpenDS(const TwainTriplet& triplet) override;
  TW_UINT16 CloseDS() override;
  TW_UINT16 EnableDS(TW_USERINTERFACE* userInterface) override;
  TW_UINT16 DisableDS(TW_USERINTERFACE* userInterface) override;
  TW_UINT16 GetPendingXfers(TW_INT16* count) override;
  TW_UINT16 EndXfers(TW_INT16* count) override;
  TW_UINT16 ResetPendingXfer(TW_INT16* count) override;

  TW_UINT16 GetImageInfo(TW_IMAGEINFO& imageInfo) override;
  TW_UINT16 GetPalette8(TW_PALETTE8& palette) override;
  TW_UINT16 NativeXfer(const TwainTriplet& triplet) override;
  TW_UINT16 SetupMemXfer(const TwainTriplet& triplet) override;
  TW_UINT16 MemXfer(const TwainTriplet& triplet) override;
  TW_UINT16 SetupFileXfer(const TwainTriplet& triplet) override;
  TW_UINT16 FileXfer(const TwainTriplet& triplet) override;

  // Creates the capability objects that do not exist yet; objects from an
  // earlier session of the process keep their values.
  void AddCapabilities();

 protected:
  SettingsStore& Settings() const { return m_settings; }

 private:
  // A call from anyone but the application that has the source open (a null
  // origin included) is refused while the source is open.
  bool IsFromOtherApplication(const TW_IDENTITY* origin) const;
  TW_UINT16 ProcessEvent(TW_EVENT* event);
  // Handlers read or write the data and the origin they need without checking
  // them: a missing one is refused here, once the message and state are known
  // to be accepted, so the answer to a wrong message or state stays the same.
  bool LacksNeededPointer(const TwainTriplet& triplet) const;
  // The answer of an operation this source does not carry out yet: the state
  // check of its triplet (then, for the set-up and transfer triplets, the
  // message check), then TWCC_BADPROTOCOL.
  TW_UINT16 RefuseUnavailable(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);

  SettingsStore& m_settings;
  Logger m_logger{"Velloran", "Velloran"};
};
