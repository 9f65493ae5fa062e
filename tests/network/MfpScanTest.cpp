// MFP scans end to end: velloran.ds through the test manager as an application drives it, and
// curl uploading to the source's own FTP server over loopback while the application receives.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "acquisition/ScanFixture.h"
#include "imaging/CxImage.h"
#include "network/MfpScanFixture.h"
#include "network/PressableWaitDialog.h"
#include "platform/SystemInfo.h"
#include "session/Polling.h"
#include "settings/SettingsStore.h"
#include "support/FtpClient.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "support/TwainSession.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using mfp_test::kMarker;
using mfp_test::kPassword;
using mfp_test::kUser;
using mfp_test::MfpScan;
using mfp_test::UploadTo;
using session_test::WaitUntil;
using network_test::PressableWaitDialog;
using test_support::LoopbackPort;

// Processing mode 0: the first page is offered as soon as it has arrived, and the next MSG_ENDXFER
// waits for the uploads that follow, until the end marker.
TEST_F(MfpScan, FirstPageIsOfferedAtOnceAndTheRestAsTheyArrive) {
  Configure(/*processingMode=*/0, /*timeoutMs=*/0);
  OpenAndEnable();
  EXPECT_THAT(app.Received(), IsEmpty());
  ASSERT_TRUE(Upload(Page(21), "a.png"));
  ASSERT_TRUE(WaitForReceived(1));
  EXPECT_THAT(app.Received(), ElementsAre(MSG_XFERREADY));
  EXPECT_EQ(OfferedWidth(), 21);
  ASSERT_TRUE(NativeTransfer());

  auto uploads = std::async(std::launch::async, [&] {
    return Upload(Page(22), "b.png") && Upload(Text("end", ""), kMarker);
  });
  EXPECT_EQ(EndXfer(), -1);
  EXPECT_EQ(OfferedWidth(), 22);
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_TRUE(uploads.get());
  EXPECT_TRUE(Disable());
}

// Processing mode 1: nothing is offered until the end marker, then the pages in upload order.
TEST_F(MfpScan, ModeOneWaitsForTheEndMarker) {
  Configure(/*processingMode=*/1, /*timeoutMs=*/0);
  OpenAndEnable();
  ASSERT_TRUE(Upload(Page(31), "a.png"));
  ASSERT_TRUE(Upload(Page(32), "b.png"));
  ASSERT_TRUE(Upload(Text("notes.txt", "not a page"), "notes.txt"));
  // The text file's arrival comes after both pages': once it is in, both pages were seen.
  ASSERT_TRUE(WaitForLog("AddFTPImageFilesToScan: Adding " + root));
  ASSERT_TRUE(WaitForLog("/notes.txt\n"));
  EXPECT_THAT(app.Received(), IsEmpty());

  ASSERT_TRUE(Upload(Text("end", ""), kMarker));
  ASSERT_TRUE(WaitForReceived(1));
  EXPECT_EQ(OfferedWidth(), 31);
  EXPECT_EQ(EndXfer(), -1);
  EXPECT_EQ(OfferedWidth(), 32);
  EXPECT_EQ(EndXfer(), 0);
}

// Processing mode 1 with a time-out: the batch starts with what has arrived when the time-out
// passes, and what comes later is too late.
TEST_F(MfpScan, TimeOutStartsTheBatchAndLaterFilesAreTooLate) {
  Configure(/*processingMode=*/1, /*timeoutMs=*/300);
  OpenAndEnable();
  ASSERT_TRUE(Upload(Page(41), "a.png"));
  ASSERT_TRUE(WaitForReceived(1));
  EXPECT_EQ(OfferedWidth(), 41);
  ASSERT_TRUE(Upload(Page(42), "b.png"));
  ASSERT_TRUE(WaitForLog("AddFTPImageFilesToScan: Too late, new images will be discarded"));
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_THAT(app.Received(), ElementsAre(MSG_XFERREADY));
}

// A file that is no page wakes the waiting MSG_ENDXFER, which goes on waiting for a page.
TEST_F(MfpScan, FileThatIsNoPageWakesTheWaitWhichGoesOn) {
  Configure(/*processingMode=*/0, /*timeoutMs=*/0);
  OpenAndEnable();
  ASSERT_TRUE(Upload(Page(51), "a.png"));
  ASSERT_TRUE(WaitForReceived(1));
  auto uploads = std::async(std::launch::async, [&] {
    return Upload(Text("broken.png", "no picture"), "broken.png") &&
           WaitForLog("LoadNextImageWithWait: Incoming image is invalid, continue to wait") &&
           Upload(Page(52), "b.png") && Upload(Text("end", ""), kMarker);
  });
  EXPECT_EQ(EndXfer(), -1);
  EXPECT_EQ(OfferedWidth(), 52);
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_TRUE(uploads.get());
}

// With CAP_XFERCOUNT 1 the batch ends after one page, without waiting for more.
TEST_F(MfpScan, TransferCountOfOneEndsWithoutWaiting) {
  Configure(/*processingMode=*/0, /*timeoutMs=*/0);
  ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
  ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
  ASSERT_EQ(app.SetOneValue(CAP_XFERCOUNT, TWTY_INT16, 1), TWRC_SUCCESS);
  Enable();
  ASSERT_TRUE(Upload(Page(61), "a.png"));
  ASSERT_TRUE(WaitForReceived(1));
  ASSERT_TRUE(NativeTransfer());
  EXPECT_EQ(EndXfer(), 0);
  TW_CAPABILITY reset{CAP_XFERCOUNT, TWON_DONTCARE16, nullptr};
  ASSERT_TRUE(Disable());
  EXPECT_EQ(app.Send(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &reset), TWRC_SUCCESS);
  std::free(reset.hContainer);
}

// A port that another program holds: the user is told, and the application asked to close.
TEST_F(MfpScan, PortInUseEndsTheScanWithTheConnectionError) {
  const LoopbackPort taken(/*listen=*/true);
  Configure(/*processingMode=*/0, /*timeoutMs=*/0);
  settings->WriteString("FtpServer", "FtpServerPort", std::to_string(taken.Port()));
  OpenAndEnable();
  EXPECT_THAT(app.Received(), ElementsAre(MSG_CLOSEDSREQ));
  EXPECT_NE(Log().find("ERROR Velloran: There is error during connection to server. Please check if you have "
                       "entered correct settings and server is available through network\n"),
            std::string::npos)
      << Log();
}

// Closing the source while MSG_ENDXFER waits for files ends the wait; the batch ends.
TEST_F(MfpScan, ClosingTheSourceEndsAWait) {
  Configure(/*processingMode=*/0, /*timeoutMs=*/0);
  OpenAndEnable();
  ASSERT_TRUE(Upload(Page(71), "a.png"));
  ASSERT_TRUE(WaitForReceived(1));
  auto close = std::async(std::launch::async, [&] {
    return WaitForLog("LoadNextImageWithWait: wait begins") && app.Send(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS,
                                                                          &app.Source()) == TWRC_FAILURE;
  });
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_TRUE(close.get()) << "a source in state 6 cannot be closed, but its network objects go";
  EXPECT_TRUE(Disable());
}

// The end marker with no page before it: nothing can come any more, so the application is asked
// to close rather than left waiting in state 5.
class EndMarkerWithoutAPage : public MfpScan, public ::testing::WithParamInterface<int> {};

TEST_P(EndMarkerWithoutAPage, AsksTheApplicationToClose) {
  Configure(/*processingMode=*/GetParam(), /*timeoutMs=*/0);
  OpenAndEnable();
  ASSERT_TRUE(Upload(Text("broken.png", "no picture"), "broken.png"));
  ASSERT_TRUE(Upload(Text("end", ""), kMarker));
  ASSERT_TRUE(WaitForReceived(1));
  EXPECT_THAT(app.Received(), ElementsAre(MSG_CLOSEDSREQ));
}

INSTANTIATE_TEST_SUITE_P(ProcessingModes, EndMarkerWithoutAPage, ::testing::Values(0, 1),
                         [](const auto& info) { return "Mode" + std::to_string(info.param); });

// An upload that the client gives up halfway is never offered and leaves nothing in the scan
// folder; the next page goes out as usual.
TEST_F(MfpScan, UploadCutOffMidFileIsNeverDelivered) {
  Configure(/*processingMode=*/1, /*timeoutMs=*/0);
  OpenAndEnable();
  CxImage big;
  ASSERT_TRUE(big.Create(1500, 1000, 24));
  const std::string bigPage = (environment.Root() / "big.bmp").string();
  ASSERT_TRUE(big.SaveFile(bigPage, ImageFormat::Bmp));
  // curl sends slowly; once part of the file is on the server's disk, curl is killed.
  const std::string pidFile = (environment.Root() / "curl.pid").string();
  const std::string url = std::string("ftp://") + kUser + ":" + kPassword + "@127.0.0.1:" + std::to_string(port) +
                          "/big.bmp";
  const std::string command = "sh -c 'echo $$ > " + pidFile + "; exec curl -s --limit-rate 100k --max-time 60 -T " +
                              bigPage + " " + url + "' &";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ASSERT_TRUE(WaitUntil([&] {
    if (ScanFolders().size() != 1) return false;
    for (const auto& entry : std::filesystem::directory_iterator(ScanFolders().front())) {
      if (entry.path().filename().string().starts_with(".") && entry.file_size() > 0) return true;
    }
    return false;
  })) << "the upload never started";
  const pid_t curl = std::stoi(test_support::ScopedEnvironment::ReadFile(pidFile));
  ASSERT_EQ(kill(curl, SIGKILL), 0);
  ASSERT_TRUE(Upload(Page(81), "b.png"));
  ASSERT_TRUE(Upload(Text("end", ""), kMarker));
  ASSERT_TRUE(WaitForReceived(1));
  EXPECT_EQ(OfferedWidth(), 81);
  EXPECT_EQ(EndXfer(), 0);
  ASSERT_EQ(ScanFolders().size(), 1u);
  std::vector<std::string> stored;
  for (const auto& entry : std::filesystem::directory_iterator(ScanFolders().front())) {
    stored.push_back(entry.path().filename().string());
  }
  std::sort(stored.begin(), stored.end());
  EXPECT_THAT(stored, ElementsAre(kMarker, "b.png"));
}

// A device on an IPv6 network reaches the same server.
TEST_F(MfpScan, UploadOverIpv6ReachesTheApplication) {
  if (!test_support::HasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback on this machine";
  Configure(/*processingMode=*/0, /*timeoutMs=*/0);
  OpenAndEnable();
  ASSERT_TRUE(test_support::FtpUpload(port, kUser, kPassword, Page(91), "a.png", "[::1]"));
  ASSERT_TRUE(test_support::FtpUpload(port, kUser, kPassword, Text("end", ""), kMarker, "[::1]"));
  ASSERT_TRUE(WaitForReceived(1));
  EXPECT_EQ(OfferedWidth(), 91);
  EXPECT_EQ(EndXfer(), 0);
}

struct FolderCase {
  const char* name;
  bool deleteTempFolders;
  std::size_t foldersAfterTwoScans;
};

class ScanFolderDeletion : public MfpScan, public ::testing::WithParamInterface<FolderCase> {};

// Each scan receives into a folder of its own named from the time; the previous one goes at the
// next start only when DeleteTempFolders says so.
TEST_P(ScanFolderDeletion, FollowsDeleteTempFolders) {
  Configure(/*processingMode=*/0, /*timeoutMs=*/0, GetParam().deleteTempFolders);
  OpenAndEnable();
  ASSERT_EQ(ScanFolders().size(), 1u);
  const std::string first = ScanFolders().front().filename().string();
  EXPECT_THAT(first, ::testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}"));
  ASSERT_TRUE(Disable());
  // Folders are named to the second: the next scan must start in another one.
  const std::string started = platform::FormatLocalTime("%Y-%m-%d_%H-%M-%S");
  ASSERT_TRUE(WaitUntil([&] { return platform::FormatLocalTime("%Y-%m-%d_%H-%M-%S") != started; }));
  Enable();
  EXPECT_EQ(ScanFolders().size(), GetParam().foldersAfterTwoScans);
}

INSTANTIATE_TEST_SUITE_P(Settings, ScanFolderDeletion,
                         ::testing::Values(FolderCase{"Kept", false, 2u}, FolderCase{"Deleted", true, 1u}),
                         [](const auto& info) { return std::string(info.param.name); });

// "Stop waiting" while MSG_ENDXFER waits: the batch ends, the server stops and, with
// DeleteTempFolders, its scan folder goes.
class StopWaiting : public acquisition_test::ScanSession {};

TEST_F(StopWaiting, EndsTheBatchAndStopsTheServer) {
  const int port = LoopbackPort(/*listen=*/false).Port();
  const std::string root = (environment.Root() / "mfp").string();
  settings->SetMode(2);
  settings->SetCurrentDirectory(root);
  settings->WriteString("Directory", "DeleteTempFolders", "1");
  settings->WriteString("FtpServer", "FtpServerPort", std::to_string(port));
  settings->WriteString("FtpServer", "FtpUser", kUser);
  settings->WriteString("FtpServer", "FtpPassword", kPassword);
  auto view = std::make_unique<PressableWaitDialog>();
  PressableWaitDialog& waitDialog = *view;
  Source().SetWaitDialogView(std::move(view));
  OpenAndEnable();
  const std::string page = (environment.Root() / "page.png").string();
  CxImage image;
  ASSERT_TRUE(image.Create(12, 10, 24));
  ASSERT_TRUE(image.SaveFile(page, ImageFormat::Png));
  ASSERT_TRUE(UploadTo(port, page, "a.png"));
  ASSERT_TRUE(WaitUntil([&] { return !Notifications().empty(); }));
  ASSERT_EQ(std::distance(std::filesystem::directory_iterator(root), {}), 1);

  auto stop = std::async(std::launch::async, [&] { return waitDialog.PressStopWaiting(); });
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_TRUE(stop.get());
  EXPECT_EQ(Source().InternalState(), Velloran::kScanIdle);
  EXPECT_EQ(Source().State(), 500);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root), {}), 0) << "the scan folder went";
  EXPECT_FALSE(UploadTo(port, page, "b.png")) << "the server stopped";
}

}  // namespace
