#pragma once

// A Velloran built inside the test process over private settings, called
// through Dispatch exactly as the entry point calls it.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "twain/Velloran.h"

namespace twain_test {

inline TW_IDENTITY MakeIdentity(TW_UINT32 id, const char* productName) {
  TW_IDENTITY identity{};
  identity.Id = id;
  identity.ProtocolMajor = 2;
  identity.ProtocolMinor = 4;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  std::strncpy(identity.ProductName, productName, sizeof(identity.ProductName) - 1);
  return identity;
}

class InProcessSource : public ::testing::Test {
 protected:
  // Built on first use, so that a test can change the settings first.
  Velloran& Source() {
    if (!source_) source_ = std::make_unique<Velloran>(this, *settings);
    return *source_;
  }

  TW_UINT16 Call(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return Source().Dispatch(TwainTriplet{origin, dg, dat, msg, data});
  }
  TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return Call(&application, dg, dat, msg, data);
  }

  // MSG_OPENDS as the manager sends it: the source's identity with its new id.
  TW_UINT16 Open() {
    TW_IDENTITY identity{};
    Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity);
    identity.Id = kSourceId;
    return Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity);
  }

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
  std::unique_ptr<Velloran> source_;
};

}  // namespace twain_test
