// The session inside the test process: the states only a transfer reaches, the dialog's
// proxy and window, and the wait time-out timer.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "Polling.h"
#include "SessionFixture.h"

namespace session_test {
namespace {

constexpr TW_UINT16 kUntouched = 0x5555;
constexpr TW_UINT32 kUntouchedEoj = 0xABCD1234;

struct PendingCase {
  const char* name;
  int state;
  TW_UINT16 msg;
  TW_UINT16 result;
  TW_UINT16 condition;  // read only after a failure
  TW_UINT16 count;      // kUntouched after a failure
  int stateAfter;
};

class PendingTransfers : public InProcessSession, public ::testing::WithParamInterface<PendingCase> {};

// The answers of DAT_PENDINGXFERS in the states an application reaches once an image is announced.
TEST_P(PendingTransfers, AnswerByState) {
  const PendingCase& c = GetParam();
  EnterState(c.state);
  Source().SetInternalState(Velloran::kScanRunning);
  TW_PENDINGXFERS pending{};
  pending.Count = kUntouched;
  pending.EOJ = kUntouchedEoj;

  EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, c.msg, &pending), c.result);
  EXPECT_EQ(pending.Count, c.count);
  EXPECT_EQ(TW_UINT32{pending.EOJ}, kUntouchedEoj) << "only Count is written";
  EXPECT_EQ(Source().State(), c.stateAfter * 100);
  if (c.result == TWRC_FAILURE) {
    EXPECT_EQ(Condition(), c.condition);
  }
  // A reset leaves the batch's scan state alone; only the end of a batch clears it.
  const bool batchEnded = c.msg == MSG_ENDXFER && c.result == TWRC_SUCCESS;
  EXPECT_EQ(Source().InternalState(), batchEnded ? Velloran::kScanIdle : Velloran::kScanRunning);
}

INSTANTIATE_TEST_SUITE_P(
    States, PendingTransfers,
    ::testing::Values(
        PendingCase{"GetInState6", 6, MSG_GET, TWRC_SUCCESS, 0, 0, 6},
        // Nothing is pending beside the image being transferred: 0, never -1.
        PendingCase{"GetInState7", 7, MSG_GET, TWRC_SUCCESS, 0, 0, 7},
        PendingCase{"ResetInState6", 6, MSG_RESET, TWRC_SUCCESS, 0, 0, 5},
        PendingCase{"ResetInState7", 7, MSG_RESET, TWRC_FAILURE, TWCC_SEQERROR, kUntouched, 7},
        // Accepted before any transfer: the batch moves on (here: it ends, nothing else is there).
        PendingCase{"EndXferInState6", 6, MSG_ENDXFER, TWRC_SUCCESS, 0, 0, 5},
        PendingCase{"EndXferInState7", 7, MSG_ENDXFER, TWRC_SUCCESS, 0, 0, 5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InProcessSession, BatchEndReportsTheTransferCountInTheDialog) {
  EnterState(7);
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
  ASSERT_NE(Source().Dialog(), nullptr) << "the dialog stays as it was";
  EXPECT_EQ(Source().Dialog()->LastStatus().text, "0 images transferred");

  const std::string log = Log();
  const std::size_t start = log.find("DEBUG Velloran: EndXfers: start\n");
  ASSERT_NE(start, std::string::npos) << log;
  const std::size_t state5 = log.find("DEBUG Velloran: State 5\n", start);
  EXPECT_NE(state5, std::string::npos) << log;
  EXPECT_NE(log.find("DEBUG Velloran: SetInternalState from 0 to 0\n", state5), std::string::npos) << log;
}

TEST_F(InProcessSession, DialogIsCreatedOnEnableAndDestroyedOnDisable) {
  settings->SetAlwaysShowUI(false);
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  EXPECT_EQ(Source().Dialog(), nullptr);

  ASSERT_EQ(Enable(true), TWRC_SUCCESS);
  SettingsDlg* dialog = Source().Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->IsShown());
  EXPECT_NE(dialog->WindowHandle(), nullptr);
  EXPECT_EQ(dialog->LastStatus().text, "ready");
  EXPECT_FALSE(dialog->Window().IsWindowThread());

  TW_USERINTERFACE ui{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(Source().Dialog(), nullptr);

  // Without a request and with AlwaysShowUI off the new dialog stays hidden, and still has its window.
  ASSERT_EQ(Enable(false), TWRC_SUCCESS);
  ASSERT_NE(Source().Dialog(), nullptr);
  EXPECT_FALSE(Source().Dialog()->IsShown());
  EXPECT_TRUE(Source().Dialog()->Window().Post(SettingsDlg::kFilesArrivedMessage));
  EXPECT_TRUE(WaitUntil([&] { return Log().find("AddFTPImageFilesToScan: New images arrived") != std::string::npos; }));
}

// Scan starts the batch once (the button is disabled after the first press); a hidden dialog
// has no button to press.
TEST_F(InProcessSession, ScanCommandStartsTheBatchOnlyOnceAndOnlyWhenShown) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  ASSERT_EQ(Enable(true), TWRC_SUCCESS);
  platform::MessageWindow& window = Source().Dialog()->Window();
  std::atomic<bool> drained{false};
  ASSERT_TRUE(window.Post(platform::WM_COMMAND, SettingsDlg::kScanCommand));
  ASSERT_TRUE(window.Post(platform::WM_COMMAND, SettingsDlg::kScanCommand));
  ASSERT_TRUE(window.Run([&] { drained = true; }));
  ASSERT_TRUE(WaitUntil([&] { return drained.load(); }));
  EXPECT_EQ(CountOf(Log(), "DEBUG MainDialog: OnScan: Started\n"), 1u);
  EXPECT_EQ(CountOf(Log(), "DEBUG MainDialog: OnScan: StartScan\n"), 1u);

  TW_USERINTERFACE ui{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  settings->SetAlwaysShowUI(false);
  ASSERT_EQ(Enable(false), TWRC_SUCCESS);
  drained = false;
  ASSERT_TRUE(Source().Dialog()->Window().Post(platform::WM_COMMAND, SettingsDlg::kScanCommand));
  ASSERT_TRUE(Source().Dialog()->Window().Run([&] { drained = true; }));
  ASSERT_TRUE(WaitUntil([&] { return drained.load(); }));
  EXPECT_EQ(CountOf(Log(), "OnScan: Started"), 1u);
}

TEST_F(InProcessSession, CloseDuringABatchAsksForACancelInstead) {
  EnterState(5);
  Source().SetInternalState(Velloran::kScanRunning);
  ASSERT_TRUE(Source().Dialog()->Window().Post(platform::WM_COMMAND, SettingsDlg::kCloseCommand));
  ASSERT_TRUE(WaitUntil([&] { return Source().InternalState() == Velloran::kScanCancelRequested; }));
  const std::string log = Log();
  EXPECT_NE(log.find("DEBUG MainDialog: Close button: Click\n"), std::string::npos) << log;
  EXPECT_NE(log.find("DEBUG MainDialog: OnClose: set state to Cancel\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("OnClose: NotifyCloseDSReq"), std::string::npos) << log;
  EXPECT_EQ(Source().State(), 500);
  EXPECT_TRUE(Source().Dialog()->IsShown()) << "the dialog does not close itself";
}

class TimeoutTimer : public InProcessSession {
 protected:
  void EnableWithTimeout(const char* milliseconds) {
    settings->WriteString("ProcessingManager", "ProcessingModeTimeout", milliseconds);
    EnterState(5);
  }
  int CreateTimer() {
    Velloran::SessionLock lock(Source());
    return Source().CreateTimeoutTimer();
  }
};

TEST_F(TimeoutTimer, IsOffWithoutAPositiveTimeout) {
  EnableWithTimeout("0");
  EXPECT_EQ(CreateTimer(), 0);
  EXPECT_EQ(Source().TimerIdCounter(), 0);
  EXPECT_EQ(Log().find("CreateTimeoutTimer"), std::string::npos);
}

// The timer's message reaches the source with the timer's id, which stops the timer and raises
// the counter; a message with an earlier id is recognised as old and changes nothing.
TEST_F(TimeoutTimer, MessageCarriesItsIdAndAnOldOneIsRecognised) {
  EnableWithTimeout("5");
  ASSERT_EQ(CreateTimer(), 1);
  ASSERT_TRUE(WaitUntil([&] { return Source().TimerIdCounter() == 2; }));
  ASSERT_TRUE(Source().Dialog()->Window().Post(platform::WM_TIMER, 1));
  ASSERT_TRUE(WaitUntil([&] { return Log().find("OnWaitImagesTimer: Old timer") != std::string::npos; }));
  EXPECT_EQ(Source().TimerIdCounter(), 2);

  const std::string log = Log();
  EXPECT_EQ(CountOf(log, "DEBUG Velloran: CreateTimeoutTimer: Creating timer\n"), 1u);
  EXPECT_EQ(CountOf(log, "DEBUG Velloran: OnWaitImagesTimer: Timeout occured\n"), 2u) << log;
  EXPECT_EQ(CountOf(log, "DEBUG Velloran: OnWaitImagesTimer: Old timer\n"), 1u) << log;
}

// A thread blocked in a wait lets the session go and sees no timer messages; they come after.
TEST_F(TimeoutTimer, HeldBackWhileAThreadWaits) {
  EnableWithTimeout("2");
  {
    Velloran::SessionLock lock(Source());
    Velloran::SessionLock nested(Source());
    ASSERT_EQ(Source().CreateTimeoutTimer(), 1);
    {
      Velloran::BlockingWaitScope wait(Source());
      // The session lock is free: another application thread gets through.
      TW_UINT16 condition = 0xFFFF;
      std::thread other([&] { condition = Condition(); });
      other.join();
      EXPECT_EQ(condition, TWCC_SUCCESS);
      std::this_thread::sleep_for(std::chrono::milliseconds(40));  // many periods of the timer
      EXPECT_EQ(Source().TimerIdCounter(), 1);
    }
    // Back under the lock: the held message is on its way but waits for the lock.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Source().TimerIdCounter(), 1);
  }
  ASSERT_TRUE(WaitUntil([&] { return Source().TimerIdCounter() == 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(CountOf(Log(), "OnWaitImagesTimer: Timeout occured"), 1u) << "one message however often it fired";
}

}  // namespace
}  // namespace session_test
