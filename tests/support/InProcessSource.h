#pragma once

// A source built inside the test process over private settings, called through Dispatch exactly
// as the entry point calls it.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "twain/Velloran.h"

namespace test_support {

inline TW_IDENTITY MakeIdentity(TW_UINT32 id, const char* productName) {
  TW_IDENTITY identity{};
  identity.Id = id;
  identity.ProtocolMajor = 2;
  identity.ProtocolMinor = 4;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  std::strncpy(identity.ProductName, productName, sizeof(identity.ProductName) - 1);
  return identity;
}

// A dialog that is always on the screen.
class DialogOnScreen final : public DialogPresenter {
 public:
  std::string Present() override { return {}; }
};

// `SourceType` is Velloran or a test seam derived from it.
template <typename SourceType>
class InProcessSourceTest : public ::testing::Test {
 protected:
  // Built on first use, so that a test can change the settings first.
  SourceType& Source() {
    if (!source_) {
      BeforeSource();
      source_ = std::make_unique<SourceType>(this, *settings);
      // Stands in for the user interface process until it exists: the dialog is on the screen
      // whenever the source asks for it, so the dialog's own commands can be driven.
      source_->SetDialogPresenter(std::make_unique<DialogOnScreen>());
    }
    return *source_;
  }
  // What a fixture must do once the settings are final and before the source exists.
  virtual void BeforeSource() {}
  void DestroySource() { source_.reset(); }

  TW_UINT16 Call(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return Source().Dispatch(TwainTriplet{origin, dg, dat, msg, data});
  }
  TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return Call(&application, dg, dat, msg, data);
  }

  // MSG_OPENDS as the manager sends it: the source's identity with the id the manager gave it.
  TW_UINT16 Open(TW_IDENTITY* origin, TW_UINT32 sourceId) {
    TW_IDENTITY identity{};
    Call(origin, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity);
    identity.Id = sourceId;
    return Call(origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity);
  }
  TW_UINT16 Open() { return Open(&application, kSourceId); }

  TW_UINT16 Enable(TW_IDENTITY* origin, bool showUI) {
    TW_USERINTERFACE ui{showUI ? TW_TRUE : TW_FALSE, TW_TRUE, nullptr};
    return Call(origin, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  }
  TW_UINT16 Enable(bool showUI) { return Enable(&application, showUI); }

  // DAT_STATUS / MSG_GET; 0xFFFF when it fails.
  TW_UINT16 Condition(TW_IDENTITY* origin) {
    TW_STATUS status{};
    status.Reserved = 0x5555;
    if (Call(origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return 0xFFFF;
    EXPECT_EQ(status.Reserved, 0);
    return status.ConditionCode;
  }
  TW_UINT16 Condition() { return Condition(&application); }

  static constexpr TW_UINT32 kSourceId = 21;

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  TW_IDENTITY application = MakeIdentity(7, "First application");

 private:
  std::unique_ptr<SourceType> source_;
};

}  // namespace test_support
