// Notifications and the threads that send them: an application's callback may call the source
// again, from any thread, and may disable and close it from the dialog's own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "Polling.h"
#include "SessionFixture.h"
#include "support/TwainSession.h"

namespace session_test {
namespace {

using test_support::TestDsm;
using test_support::TwainSession;

// The application talks to the manager, which routes the notifications of this in-process
// source to the application's callback: it has the ids of the source the application opened.
class SessionThreads : public InProcessSession {
 protected:
  void SetUp() override {
    ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
    ASSERT_EQ(Open(&app.App(), app.Source().Id), TWRC_SUCCESS);
  }

  TW_UINT16 CallAsApp(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return Call(&app.App(), dg, dat, msg, data);
  }

  TestDsm dsm;
  TwainSession app{dsm};
};

TEST_F(SessionThreads, NotificationsWaitUntilTheSenderHasReleasedTheSessionLock) {
  // The callback calls the source from another thread and waits for it: were the session lock
  // still held by the sender, this would never return.
  std::vector<TW_UINT16> conditionsSeen;
  app.OnNotification([&](TW_UINT16) {
    TW_UINT16 condition = 0xFFFF;
    std::thread other([&] {
      TW_STATUS status{};
      if (CallAsApp(DG_CONTROL, DAT_STATUS, MSG_GET, &status) == TWRC_SUCCESS) condition = status.ConditionCode;
    });
    other.join();
    conditionsSeen.push_back(condition);
    return TW_UINT16{TWRC_SUCCESS};
  });

  {
    Velloran::SessionLock outer(Source());
    {
      Velloran::SessionLock inner(Source());
      Source().NotifyXferReady();
      Source().NotifyCloseDSReq();
      EXPECT_EQ(Source().State(), 600) << "the state moves when the notification is queued";
    }
    EXPECT_TRUE(app.Received().empty()) << "still held by the outer hold";
  }
  EXPECT_EQ(app.Received(), (std::vector<TW_UINT16>{MSG_XFERREADY, MSG_CLOSEDSREQ}));
  EXPECT_EQ(conditionsSeen, (std::vector<TW_UINT16>{TWCC_SUCCESS, TWCC_SUCCESS}));

  // Without a hold the notification goes out at once, with the manager's answer.
  app.OnNotification([](TW_UINT16) { return TW_UINT16{TWRC_SUCCESS}; });
  EXPECT_EQ(Source().NotifyCloseDSReq(), TWRC_SUCCESS);
  EXPECT_EQ(app.Received().size(), 3u);
}

// The dialog's Close runs on the message window's thread; the application answers the close
// request from its callback, on that thread, by disabling and closing the source. Tearing the
// dialog down must not wait for the thread it runs on.
TEST_F(SessionThreads, CloseRequestAnsweredOnTheDialogThreadDisablesAndClosesTheSource) {
  ASSERT_EQ(Enable(&app.App(), true), TWRC_SUCCESS);
  platform::MessageWindow& window = Source().Dialog()->Window();
  std::promise<std::thread::id> dialogThread;
  ASSERT_TRUE(window.Run([&] { dialogThread.set_value(std::this_thread::get_id()); }));

  std::atomic<bool> answered{false};
  std::thread::id callbackThread;
  TW_UINT16 disabled = 0xFFFF;
  TW_UINT16 closed = 0xFFFF;
  app.OnNotification([&](TW_UINT16 msg) {
    if (msg == MSG_CLOSEDSREQ) {
      callbackThread = std::this_thread::get_id();
      TW_USERINTERFACE ui{};
      disabled = CallAsApp(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
      closed = CallAsApp(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);
      answered = true;
    }
    return TW_UINT16{TWRC_SUCCESS};
  });
  ASSERT_TRUE(window.Post(platform::WM_CLOSE));
  ASSERT_TRUE(WaitUntil([&] { return answered.load(); }));

  EXPECT_EQ(callbackThread, dialogThread.get_future().get());
  EXPECT_EQ(disabled, TWRC_SUCCESS);
  EXPECT_EQ(closed, TWRC_SUCCESS);
  EXPECT_EQ(Source().State(), 300);
  EXPECT_EQ(Source().Dialog(), nullptr);
  EXPECT_EQ(app.Received(), std::vector<TW_UINT16>{MSG_CLOSEDSREQ});
  const std::string log = Log();
  EXPECT_NE(log.find("DEBUG MainDialog: OnClose: NotifyCloseDSReq\n"), std::string::npos) << log;

  // The source can be opened and enabled again at once; the old dialog's thread ends by itself.
  ASSERT_EQ(Open(&app.App(), app.Source().Id), TWRC_SUCCESS);
  ASSERT_EQ(Enable(&app.App(), true), TWRC_SUCCESS);
  EXPECT_TRUE(Source().Dialog()->IsShown());
}

}  // namespace
}  // namespace session_test
