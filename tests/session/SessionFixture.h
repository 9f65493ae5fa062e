#pragma once

// A Velloran inside the test process over private settings, called through Dispatch exactly as
// the entry point calls it, with logging into the private log file.

#include <gtest/gtest.h>

#include <string>

#include "logging/LoggingSetup.h"
#include "support/InProcessSource.h"
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

using test_support::MakeIdentity;

class InProcessSession : public test_support::InProcessSourceTest<SessionSource> {
 protected:
  void BeforeSource() override {
    settings->SetLoggerEnabled(true);
    ConfigureLogging(*settings);
  }
  void TearDown() override {
    DestroySource();
    ShutdownLogging();
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
};

}  // namespace session_test
