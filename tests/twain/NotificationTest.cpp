// The source's link back to the manager: finding it among the loaded libraries
// and the two notifications.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "InProcessSource.h"
#include "logging/LoggingSetup.h"
#include "support/TwainSession.h"

namespace twain_test {
namespace {

using test_support::ScopedEnvironment;
using test_support::TestDsm;

class Notification : public InProcessSource {
 protected:
  void SetUp() override {
    settings->SetLoggerEnabled(true);
    ConfigureLogging(*settings);
  }
  void TearDown() override { ShutdownLogging(); }

  std::string Log() const { return ScopedEnvironment::ReadFile(settings->GetLogFilePath()); }
};

TEST_F(Notification, WithoutManagerIsLostButTheStateStillMoves) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  EXPECT_EQ(Source().NotifyXferReady(), TWRC_SUCCESS);
  EXPECT_EQ(Source().State(), 600);
  EXPECT_EQ(Source().NotifyCloseDSReq(), TWRC_SUCCESS);
  EXPECT_EQ(Source().State(), 600);

  const std::string log = Log();
  EXPECT_NE(log.find("DEBUG TwainDriver: State 6\n"), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR TwainDriver: TWAINDSM.dll and TWAIN_32.DLL are not loaded.\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Call DSM_Entry"), std::string::npos) << log;
}

struct ManagerCase {
  const char* name;
  bool current;        // libtwaindsm.so.2 loaded
  bool legacy;         // libtwaindsm.so loaded
  bool expectCurrent;  // which one must receive the notifications
  const char* logText;
};

class ManagerSearch : public Notification, public ::testing::WithParamInterface<ManagerCase> {};

TEST_P(ManagerSearch, FindsAnAlreadyLoadedManagerPreferringTheCurrentName) {
  const ManagerCase& c = GetParam();
  std::unique_ptr<TestDsm> current = c.current ? std::make_unique<TestDsm>(test_support::TestDsmPath()) : nullptr;
  std::unique_ptr<TestDsm> legacy =
      c.legacy ? std::make_unique<TestDsm>(test_support::TestDsmLegacyPath()) : nullptr;
  const TestDsm& receiver = c.expectCurrent ? *current : *legacy;
  const TestDsm* bystander = c.expectCurrent ? legacy.get() : current.get();

  ASSERT_EQ(Open(), TWRC_SUCCESS);
  EXPECT_EQ(Source().NotifyXferReady(), TWRC_SUCCESS);
  EXPECT_EQ(Source().NotifyCloseDSReq(), TWRC_SUCCESS);
  EXPECT_EQ(Source().State(), 600);

  const std::vector<TestDsmNotification> received = receiver.Notifications();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].msg, MSG_XFERREADY);
  EXPECT_EQ(received[1].msg, MSG_CLOSEDSREQ);
  for (const TestDsmNotification& notification : received) {
    EXPECT_EQ(notification.sourceId, kSourceId);
    EXPECT_EQ(notification.applicationId, TW_UINT32{application.Id});
  }
  if (bystander != nullptr) {
    EXPECT_TRUE(bystander->Notifications().empty());
  }

  const std::string log = Log();
  EXPECT_NE(log.find(std::string("DEBUG TwainDriver: ") + c.logText + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Call DSM_Entry from NotifyXferReady\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Call DSM_Entry from NotifyCloseDSReq\n"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    LoadedManagers, ManagerSearch,
    ::testing::Values(ManagerCase{"CurrentOnly", true, false, true, "TWAINDSM.DLL is already loaded"},
                      ManagerCase{"LegacyOnly", false, true, false, "TWAIN_32.DLL is already loaded"},
                      ManagerCase{"Both", true, true, true, "TWAINDSM.DLL is already loaded"}),
    [](const auto& info) { return std::string(info.param.name); });

// Through the manager to an application that registered its callback: the
// notification arrives inside the source's call, on the thread that sent it,
// and the application may call the source again from there.
TEST_F(Notification, ReachesTheApplicationsCallbackSynchronouslyOnTheSendingThread) {
  TestDsm dsm;
  test_support::TwainSession app(dsm);
  ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
  ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
  std::thread::id callbackThread;
  TW_UINT16 conditionInsideCallback = 0xFFFF;
  app.OnNotification([&](TW_UINT16) {
    callbackThread = std::this_thread::get_id();
    conditionInsideCallback = app.SourceCondition();
    return TW_UINT16{TWRC_SUCCESS};
  });

  // This source stands in for the one the application opened: same ids.
  TW_IDENTITY identity = app.Source();
  ASSERT_EQ(Call(&app.App(), DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_SUCCESS);
  std::thread::id senderThread;
  std::size_t receivedWhenSent = 0;
  std::thread sender([&] {
    senderThread = std::this_thread::get_id();
    Source().NotifyXferReady();
    receivedWhenSent = app.Received().size();
  });
  sender.join();

  EXPECT_EQ(receivedWhenSent, 1u);
  EXPECT_EQ(callbackThread, senderThread);
  EXPECT_EQ(conditionInsideCallback, TWCC_SUCCESS);
  EXPECT_EQ(app.Received(), std::vector<TW_UINT16>{MSG_XFERREADY});
  const std::vector<TestDsmNotification> recorded = dsm.Notifications();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].delivered, 1);
  EXPECT_EQ(recorded[0].threadHash, std::hash<std::thread::id>{}(senderThread));
}

}  // namespace
}  // namespace twain_test
