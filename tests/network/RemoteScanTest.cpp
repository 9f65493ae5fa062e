// Remote scans end to end: velloran.ds through the test manager with Mode 8, a real saned on
// loopback behind it, and the pages reaching the application as scanimage makes them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <future>

#include "acquisition/ScanFixture.h"
#include "network/PressableWaitDialog.h"
#include "plugins/SanedFixture.h"
#include "session/Polling.h"
#include "settings/SettingsStore.h"
#include "support/SourceSettings.h"
#include "support/TwainSession.h"

namespace {

using ::testing::ElementsAre;
using session_test::WaitUntil;

// Settings for a Mode 8 scan of test:0 at 75 dpi colour into `root`, pages offered at once.
void ConfigureRemoteScan(const SettingsStore& settings, const test_support::SanedDaemon& daemon,
                         const std::string& root, int paperSource) {
  settings.SetLoggerEnabled(true);
  settings.SetAlwaysShowUI(false);
  settings.SetMode(8);
  settings.SetCurrentDirectory(root);
  settings.WriteString("Directory", "DeleteTempFolders", "0");
  settings.SetRemoteHost(daemon.Host());
  settings.SetRemoteScanScanner("test:0");
  settings.SetBitDepth(24);
  settings.SetResolution(75);
  settings.SetOrientation(0);
  settings.SetPaperSize(0);
  settings.SetDuplex(false);
  settings.SetPaperSource(paperSource == 1);
  settings.WriteString("ProcessingManager", "ProcessingMode", "0");
  settings.WriteString("ProcessingManager", "ProcessingModeTimeout", "0");
}

class RemoteScan : public ::testing::Test {
 protected:
  void Configure(const test_support::SanedDaemon& daemon, int paperSource) {
    ConfigureRemoteScan(*settings, daemon, root, paperSource);
  }
  void OpenAndEnable() {
    ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
    TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
    ASSERT_EQ(app.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  }
  TW_INT16 EndXfer() {
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(app.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    return pending.Count;
  }
  // The page as a BMP file through file transfer.
  std::filesystem::path FileTransfer(int index) {
    const auto path = environment.Root() / ("page" + std::to_string(index) + ".bmp");
    TW_SETUPFILEXFER setup{};
    std::snprintf(setup.FileName, sizeof setup.FileName, "%s", path.c_str());
    setup.Format = TWFF_BMP;
    EXPECT_EQ(app.SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE), TWRC_SUCCESS);
    EXPECT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
    return path;
  }

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  const std::string root = (environment.Root() / "remote").string();
  test_support::TestDsm dsm;
  test_support::TwainSession app{dsm, "Remote application"};
};

// A flat-bed page reaches the application with scanimage's pixels; the marker ends the batch.
TEST_F(RemoteScan, FlatbedPageReachesTheApplicationAsScanimageMakesIt) {
  test_support::SanedConfig config;
  config.testBackendOptions = "test-picture \"Color pattern\"\n";
  test_support::SanedDaemon daemon(environment.Root(), config);
  Configure(daemon, 0);
  OpenAndEnable();
  ASSERT_TRUE(WaitUntil([&] { return !app.Received().empty(); }));
  EXPECT_THAT(app.Received(), ElementsAre(MSG_XFERREADY));
  const auto page = FileTransfer(0);
  EXPECT_EQ(EndXfer(), 0) << "the end marker came after the page";
  const auto expected =
      plugins_test::Scanimage(daemon, "--mode Color --resolution 75", environment.Root() / "expected.pnm");
  ASSERT_FALSE(expected.empty());
  EXPECT_TRUE(plugins_test::PixelsOf(page) == plugins_test::PixelsOf(expected));
}

// The feeder's ten pages, then the end of the batch.
TEST_F(RemoteScan, FeederPagesAllReachTheApplication) {
  test_support::SanedDaemon daemon(environment.Root());
  Configure(daemon, 1);
  OpenAndEnable();
  ASSERT_TRUE(WaitUntil([&] { return !app.Received().empty(); }));
  int pages = 1;
  while (EndXfer() != 0) ++pages;
  EXPECT_EQ(pages, 10);
}

// A host where nothing listens: the connection error, and the application is asked to close.
TEST_F(RemoteScan, RefusingHostEndsTheScanWithTheConnectionError) {
  test_support::SanedDaemon daemon(environment.Root());
  Configure(daemon, 0);
  daemon.Kill();
  OpenAndEnable();
  EXPECT_THAT(app.Received(), ElementsAre(MSG_CLOSEDSREQ));
}

// "Stop waiting" ends the batch but not the remote scan: its later pages are still written
// and collected as they come, into the ended batch, so the next batch has only its own pages.
class RemoteStopWaiting : public acquisition_test::ScanSession {
 protected:
  size_t Count(const std::filesystem::path& folder, const std::string& extension) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      if (entry.path().extension() == extension) ++count;
    return count;
  }
  size_t XferReadyCount() const {
    const auto messages = Notifications();
    return size_t(std::count(messages.begin(), messages.end(), MSG_XFERREADY));
  }
};

TEST_F(RemoteStopWaiting, RemoteScanGoesOnAndItsLaterPagesStayOutOfTheNextBatch) {
  test_support::SanedConfig config;
  // About a quarter of a second a page, so that the scan still runs when the daemon is paused.
  config.testBackendOptions = "read-limit true\nread-limit-size 8192\nread-delay true\nread-delay-duration 10000\n";
  test_support::SanedDaemon daemon(environment.Root(), config);
  const std::filesystem::path root = environment.Root() / "remote";
  ConfigureRemoteScan(*settings, daemon, root.string(), 1);
  auto view = std::make_unique<network_test::PressableWaitDialog>();
  network_test::PressableWaitDialog& waitDialog = *view;
  Source().SetWaitDialogView(std::move(view));
  OpenAndEnable();
  ASSERT_TRUE(WaitUntil([&] { return XferReadyCount() == 1; }));

  // The scanner stalls: the application takes what has come, then waits, and gives up.
  daemon.Pause();
  auto stop = std::async(std::launch::async, [&] { return waitDialog.PressStopWaiting(); });
  int firstBatch = 1;
  while (EndXfer() != 0) ++firstBatch;
  ASSERT_TRUE(stop.get());
  EXPECT_EQ(Source().State(), 500);
  EXPECT_LT(firstBatch, 10);

  daemon.Resume();
  ASSERT_EQ(std::distance(std::filesystem::directory_iterator(root), {}), 1);
  const std::filesystem::path scanFolder = std::filesystem::directory_iterator(root)->path();
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(scanFolder / "SCANFINISHEDMARKER.MRK"); }))
      << "the remote scan went on to its end";
  EXPECT_EQ(Count(scanFolder, ".png"), 10u);

  TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
  ASSERT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  Enable();
  ASSERT_TRUE(WaitUntil([&] { return XferReadyCount() == 2; }));
  int secondBatch = 1;
  while (EndXfer() != 0) ++secondBatch;
  EXPECT_EQ(secondBatch, 10) << "the first scan's late pages are not delivered again";
}

}  // namespace
