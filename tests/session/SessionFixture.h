#pragma once

// A Velloran inside the test process over private settings, called through Dispatch exactly as
// the entry point calls it, with logging into the private log file.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "logging/LoggingSetup.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "twain/SettingsDlg.h"
#include "twain/Velloran.h"

namespace session_test {

// State 7 is reached only by a transfer, which this source cannot make yet: the seam puts it there.
class SessionSource : public Velloran {
 public:
  using Velloran::Velloran;
  void EnterTransferState() {
    SessionLock lock(*this);
    m_state = kState7;
  }
};

inline TW_IDENTITY MakeIdentity(TW_UINT32 id, const char* productName) {
  TW_IDENTITY identity{};
  identity.Id = id;
  identity.ProtocolMajor = 2;
  identity.ProtocolMinor = 4;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  std::strncpy(identity.ProductName, productName, sizeof(identity.ProductName) - 1);
  return identity;
}

class InProcessSession : public ::testing::Test {
 protected:
  void TearDown() override {
    source_.reset();
    ShutdownLogging();
  }

  // Built on first use, so that a test can change the settings first.
  SessionSource& Source() {
    if (!source_) {
      settings->SetLoggerEnabled(true);
      ConfigureLogging(*settings);
      source_ = std::make_unique<SessionSource>(this, *settings);
    }
    return *source_;
  }

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
  TW_UINT16 Condition() {
    TW_STATUS status{};
    if (Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return 0xFFFF;
    return status.ConditionCode;
  }

  // Opens, enables and, for 6 and 7, announces an image.
  void EnterState(int stateNumber) {
    if (stateNumber >= 4) {
      ASSERT_EQ(Open(), TWRC_SUCCESS);
    }
    if (stateNumber >= 5) {
      ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    }
    if (stateNumber >= 6) Source().NotifyXferReady();  // no manager loaded: only the state moves
    if (stateNumber == 7) Source().EnterTransferState();
    ASSERT_EQ(Source().State(), stateNumber * 100);
  }

  std::string Log() const { return test_support::ScopedEnvironment::ReadFile(settings->GetLogFilePath()); }

  static constexpr TW_UINT32 kSourceId = 21;

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  TW_IDENTITY application = MakeIdentity(7, "Session tests");

 private:
  std::unique_ptr<SessionSource> source_;
};

}  // namespace session_test
