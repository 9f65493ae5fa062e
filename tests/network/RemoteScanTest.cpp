// Remote scans end to end: velloran.ds through the test manager with Mode 8, a real saned on
// loopback behind it, and the pages reaching the application as scanimage makes them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "plugins/SanedFixture.h"
#include "session/Polling.h"
#include "settings/SettingsStore.h"
#include "support/SourceSettings.h"
#include "support/TwainSession.h"

namespace {

using ::testing::ElementsAre;
using session_test::WaitUntil;

class RemoteScan : public ::testing::Test {
 protected:
  void Configure(const test_support::SanedDaemon& daemon, int paperSource) {
    settings->SetLoggerEnabled(true);
    settings->SetAlwaysShowUI(false);
    settings->SetMode(8);
    settings->SetCurrentDirectory(root);
    settings->WriteString("Directory", "DeleteTempFolders", "0");
    settings->SetRemoteHost(daemon.Host());
    settings->SetRemoteScanScanner("test:0");
    settings->SetBitDepth(24);
    settings->SetResolution(75);
    settings->SetOrientation(0);
    settings->SetPaperSize(0);
    settings->SetDuplex(false);
    settings->SetPaperSource(paperSource == 1);
    settings->WriteString("ProcessingManager", "ProcessingMode", "0");
    settings->WriteString("ProcessingManager", "ProcessingModeTimeout", "0");
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

}  // namespace
