// velloran.ds driven through the test manager as an application drives it: every session
// transition an application can reach before an image exists, and every refusal.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Polling.h"
#include "platform/Module.h"
#include "support/BuildPaths.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "support/TwainSession.h"

namespace session_test {
namespace {

using test_support::ScopedEnvironment;
using test_support::TestDsm;
using test_support::TwainSession;

constexpr TW_UINT16 kUntouched = 0x5555;
constexpr const char* kShownLine = "DEBUG Velloran: Show configuration dialog, State 5\n";
constexpr const char* kHiddenLine = "DEBUG Velloran: Configuration dialog is hidden, State 5\n";
constexpr const char* kNetworkReleaseLine = "DEBUG Velloran: ReleaseNetworkObjects: done\n";

class SessionEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    settings->SetLoggerEnabled(true);
    ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
  }

  TW_UINT16 Enable(TwainSession& session, TW_BOOL showUI) {
    TW_USERINTERFACE ui{showUI, TW_TRUE, nullptr};
    return session.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  }
  TW_UINT16 Disable(TwainSession& session) {
    TW_USERINTERFACE ui{};
    return session.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  }
  TW_UINT16 SendPending(TW_UINT16 msg, TW_PENDINGXFERS& pending) {
    return app.Send(DG_CONTROL, DAT_PENDINGXFERS, msg, &pending);
  }

  // Only a source in state 5 can be disabled and only one in state 4 closed: leaving the
  // session step by step tells the state the source was in, which must be `stateNumber`.
  void ExpectStateByLeaving(int stateNumber) {
    if (stateNumber == 3) {
      EXPECT_EQ(app.OpenSource(), TWRC_SUCCESS) << "a closed source opens again";
      return;
    }
    if (stateNumber == 5) {
      EXPECT_EQ(Disable(app), TWRC_SUCCESS) << "not in state 5";
    } else {
      EXPECT_EQ(Disable(app), TWRC_FAILURE) << "in state 5";
    }
    EXPECT_EQ(app.CloseSource(), TWRC_SUCCESS) << "not back in state 4";
  }

  std::string Log() const { return ScopedEnvironment::ReadFile(settings->GetLogFilePath()); }

  ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  TestDsm dsm;
  TwainSession app{dsm, "First"};
};

struct TransitionCase {
  const char* name;
  int state;  // 4 or 5
  TW_UINT16 dat;
  TW_UINT16 msg;
  TW_UINT16 result;
  TW_UINT16 condition;  // after a failure
  int stateAfter;
  TW_UINT16 count;  // DAT_PENDINGXFERS only: Count afterwards
};

class SessionTable : public SessionEndToEnd, public ::testing::WithParamInterface<TransitionCase> {};

TEST_P(SessionTable, MovesOrRefusesAndKeepsTheState) {
  const TransitionCase& c = GetParam();
  if (c.state == 5) {
    ASSERT_EQ(Enable(app, TW_TRUE), TWRC_SUCCESS);
  }

  TW_IDENTITY identity = app.Source();
  TW_USERINTERFACE ui{TW_TRUE, TW_FALSE, nullptr};
  TW_PENDINGXFERS pending{};
  pending.Count = kUntouched;
  TW_MEMREF data = &identity;
  if (c.dat == DAT_USERINTERFACE) data = &ui;
  if (c.dat == DAT_PENDINGXFERS) data = &pending;

  EXPECT_EQ(app.Send(DG_CONTROL, c.dat, c.msg, data), c.result);
  if (c.result == TWRC_FAILURE) {
    EXPECT_EQ(app.SourceCondition(), c.condition);
  }
  if (c.dat == DAT_PENDINGXFERS) {
    EXPECT_EQ(pending.Count, c.count);
  }
  ExpectStateByLeaving(c.stateAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Triplets, SessionTable,
    ::testing::Values(
        TransitionCase{"EnableInState4", 4, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_SUCCESS, 0, 5, 0},
        TransitionCase{"EnableInState5", 5, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_FAILURE, TWCC_SEQERROR, 5, 0},
        TransitionCase{"DisableInState5", 5, DAT_USERINTERFACE, MSG_DISABLEDS, TWRC_SUCCESS, 0, 4, 0},
        TransitionCase{"DisableInState4", 4, DAT_USERINTERFACE, MSG_DISABLEDS, TWRC_FAILURE, TWCC_SEQERROR, 4, 0},
        TransitionCase{"CloseInState4", 4, DAT_IDENTITY, MSG_CLOSEDS, TWRC_SUCCESS, 0, 3, 0},
        TransitionCase{"CloseInState5", 5, DAT_IDENTITY, MSG_CLOSEDS, TWRC_FAILURE, TWCC_SEQERROR, 5, 0},
        TransitionCase{"OpenAgainInState4", 4, DAT_IDENTITY, MSG_OPENDS, TWRC_FAILURE, TWCC_MAXCONNECTIONS, 4, 0},
        TransitionCase{"OpenAgainInState5", 5, DAT_IDENTITY, MSG_OPENDS, TWRC_FAILURE, TWCC_MAXCONNECTIONS, 5, 0},
        TransitionCase{"GetPendingInState4", 4, DAT_PENDINGXFERS, MSG_GET, TWRC_SUCCESS, 0, 4, 0},
        TransitionCase{"GetPendingInState5", 5, DAT_PENDINGXFERS, MSG_GET, TWRC_SUCCESS, 0, 5, 0},
        TransitionCase{"ResetInState4", 4, DAT_PENDINGXFERS, MSG_RESET, TWRC_FAILURE, TWCC_SEQERROR, 4, kUntouched},
        TransitionCase{"ResetInState5", 5, DAT_PENDINGXFERS, MSG_RESET, TWRC_SUCCESS, 0, 5, 0},
        TransitionCase{"EndXferInState4", 4, DAT_PENDINGXFERS, MSG_ENDXFER, TWRC_FAILURE, TWCC_SEQERROR, 4,
                       kUntouched},
        TransitionCase{"EndXferInState5", 5, DAT_PENDINGXFERS, MSG_ENDXFER, TWRC_FAILURE, TWCC_SEQERROR, 5,
                       kUntouched}),
    [](const auto& info) { return std::string(info.param.name); });

struct ShowCase {
  const char* name;
  TW_BOOL showUI;
  const char* alwaysShowUI;  // nullptr: as the installed settings have it
  bool shown;
};

class EnableShows : public SessionEndToEnd, public ::testing::WithParamInterface<ShowCase> {};

// AlwaysShowUI counts as set unless its first character is "0"; the application's request
// shows the dialog whatever it says. ModalUI comes back FALSE either way.
TEST_P(EnableShows, TheDialogWhenAskedOrAlwaysShowUIIsSet) {
  const ShowCase& c = GetParam();
  if (c.alwaysShowUI != nullptr) settings->WriteString("General", "AlwaysShowUI", c.alwaysShowUI);
  TW_USERINTERFACE ui{c.showUI, TW_TRUE, nullptr};
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(ui.ModalUI, TW_FALSE);
  EXPECT_EQ(ui.ShowUI, c.showUI);

  const std::string log = Log();
  const std::size_t created = log.find("DEBUG Velloran: Created hidden configuration dialog\n");
  ASSERT_NE(created, std::string::npos) << log;
  EXPECT_NE(log.find(c.shown ? kShownLine : kHiddenLine, created), std::string::npos) << log;
  EXPECT_EQ(log.find(c.shown ? kHiddenLine : kShownLine), std::string::npos) << log;
  ExpectStateByLeaving(5);
}

INSTANTIATE_TEST_SUITE_P(Settings, EnableShows,
                         ::testing::Values(ShowCase{"DefaultSettingsWithoutRequest", TW_FALSE, nullptr, true},
                                           ShowCase{"ZeroWithoutRequest", TW_FALSE, "0", false},
                                           ShowCase{"ZeroFirstWithoutRequest", TW_FALSE, "0ff", false},
                                           ShowCase{"EmptyWithoutRequest", TW_FALSE, "", true},
                                           ShowCase{"OtherTextWithoutRequest", TW_FALSE, "no", true},
                                           ShowCase{"ZeroWithRequest", TW_TRUE, "0", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionEndToEnd, CloseInState5FailsYetReleasesTheNetworkObjects) {
  ASSERT_EQ(Enable(app, TW_TRUE), TWRC_SUCCESS);
  const std::size_t releasesBefore = CountOf(Log(), kNetworkReleaseLine);
  EXPECT_EQ(app.CloseSource(), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_SEQERROR);
  const std::string log = Log();
  EXPECT_EQ(CountOf(log, kNetworkReleaseLine), releasesBefore + 1);
  // Released first, then refused.
  const std::size_t refused = log.find("ERROR TwainDriver: General failure in response to MSG_CLOSEDS.  "
                                       "DG DAT MSG is out of expected sequence.\n");
  ASSERT_NE(refused, std::string::npos) << log;
  EXPECT_LT(log.rfind(kNetworkReleaseLine), refused);
  ExpectStateByLeaving(5);
}

// A second application is refused while the first has the source enabled, without a condition
// code of its own: the first one's pending code stays its own.
TEST_F(SessionEndToEnd, SecondApplicationIsRefusedWithoutTouchingTheFirstsCondition) {
  // The second manager session lists the source while nobody has it open (an open source
  // answers nobody else, not even the manager's identity probe for another application).
  ASSERT_EQ(app.CloseSource(), TWRC_SUCCESS);
  TwainSession second(dsm, "Second");
  ASSERT_EQ(second.OpenDsm(), TWRC_SUCCESS);
  ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
  ASSERT_EQ(Enable(app, TW_TRUE), TWRC_SUCCESS);
  ASSERT_EQ(Enable(app, TW_TRUE), TWRC_FAILURE);  // leaves TWCC_SEQERROR pending

  EXPECT_EQ(second.OpenSource(), TWRC_FAILURE);

  EXPECT_EQ(app.SourceCondition(), TWCC_SEQERROR);
  ExpectStateByLeaving(5);
  EXPECT_EQ(second.OpenSource(), TWRC_SUCCESS) << "free once the first has closed it";
  EXPECT_EQ(second.CloseSource(), TWRC_SUCCESS);
}

// A capability value outlives a whole session (enable and disable included) as long as the
// module stays loaded, here because something else in the process holds it.
TEST_F(SessionEndToEnd, CapabilityValueSetBeforeCloseIsCurrentAfterTheNextOpen) {
  platform::Module kept = platform::Module::Load(test_support::VelloranDsPath());
  ASSERT_TRUE(kept.IsLoaded());
  ASSERT_EQ(app.SetOneValue(CAP_XFERCOUNT, TWTY_INT16, 3), TWRC_SUCCESS);
  ASSERT_EQ(Enable(app, TW_TRUE), TWRC_SUCCESS);
  ASSERT_EQ(Disable(app), TWRC_SUCCESS);
  ASSERT_EQ(app.CloseSource(), TWRC_SUCCESS);

  ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
  TW_CAPABILITY get{CAP_XFERCOUNT, TWON_DONTCARE16, nullptr};
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &get), TWRC_SUCCESS);
  TW_HANDLE container = get.hContainer;  // packed field: read by value
  ASSERT_NE(container, nullptr);
  const auto* current = static_cast<const TW_ONEVALUE*>(container);
  EXPECT_EQ(TW_UINT16{current->ItemType}, TWTY_INT16);
  EXPECT_EQ(static_cast<TW_INT16>(TW_UINT32{current->Item} & 0xFFFF), 3);
  std::free(container);
  ASSERT_EQ(app.CloseSource(), TWRC_SUCCESS);
}

}  // namespace
}  // namespace session_test
