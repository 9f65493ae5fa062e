// velloran.ds driven through the test manager as an application drives it, scanning real
// folders and file lists without any display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "AcquisitionFixtures.h"
#include "ScanFixture.h"
#include "acquisition/FileListEntry.h"
#include "acquisition/FileListFile.h"
#include "pdf/PdfWriter.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "support/TwainSession.h"

namespace acquisition_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using test_support::TestDsm;
using test_support::TwainSession;

class ScanEndToEnd : public ::testing::Test {
 protected:
  ScanEndToEnd() {
    PrepareFolderScan(*settings, folder);
  }

  void OpenAndEnable(TW_BOOL showUI = TW_FALSE) {
    ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
    TW_USERINTERFACE ui{showUI, TW_FALSE, nullptr};
    ASSERT_EQ(app.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  }
  TW_INT16 Pending(TW_UINT16 msg) {
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(app.Send(DG_CONTROL, DAT_PENDINGXFERS, msg, &pending), TWRC_SUCCESS);
    return pending.Count;
  }
  // MSG_ENDXFER until the batch ends; how many images were offered in all.
  int ImagesOffered() {
    int images = 1;
    while (images < 50 && Pending(MSG_ENDXFER) == -1) ++images;
    return images;
  }
  // Only a source in state 5 can be disabled.
  bool DisableSucceeds() {
    TW_USERINTERFACE ui{};
    return app.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui) == TWRC_SUCCESS;
  }

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  const std::string folder = (environment.Root() / "scans").string() + "/";
  TestDsm dsm;
  TwainSession app{dsm, "Scan application"};
};

TEST_F(ScanEndToEnd, HiddenDialogScansTheFolderAndCountsDown) {
  WriteTiffPages(folder + "a.tif", {PageOfWidth(10), PageOfWidth(11)});
  WriteImage(folder + "b.png", PageOfWidth(12));
  WriteImage(folder + "sub/c.png", PageOfWidth(13));
  OpenAndEnable();
  EXPECT_THAT(app.Received(), ElementsAre(MSG_XFERREADY));
  EXPECT_EQ(Pending(MSG_GET), 2);  // files: the one held and b.png
  EXPECT_EQ(Pending(MSG_ENDXFER), -1);
  EXPECT_EQ(Pending(MSG_ENDXFER), -1);
  EXPECT_EQ(Pending(MSG_GET), 1);
  EXPECT_EQ(Pending(MSG_ENDXFER), 0);
  EXPECT_EQ(Pending(MSG_GET), 0);
  EXPECT_TRUE(DisableSucceeds());
  EXPECT_TRUE(std::filesystem::exists(folder + "a.tif"));  // DeleteFiles is off
}

struct NoDialogCase {
  const char* name;
  const char* display;  // nullptr: unset
};

class DialogCannotBeShown : public ScanEndToEnd, public ::testing::WithParamInterface<NoDialogCase> {};

// An application that asks for the dialog must still get its pages when no dialog can come up:
// nobody could press Scan.
TEST_P(DialogCannotBeShown, ScanStartsAtOnce) {
  environment.Set("DISPLAY", GetParam().display ? std::optional<std::string>(GetParam().display) : std::nullopt);
  environment.Set("WAYLAND_DISPLAY", std::nullopt);
  WriteImage(folder + "a.png", PageOfWidth(12));
  OpenAndEnable(/*showUI=*/TW_TRUE);
  EXPECT_THAT(app.Received(), ElementsAre(MSG_XFERREADY));
  EXPECT_EQ(Pending(MSG_ENDXFER), 0);
  EXPECT_TRUE(DisableSucceeds());
  const std::string log = test_support::ScopedEnvironment::ReadFile(settings->GetLogFilePath());
  EXPECT_NE(log.find("ERROR Velloran: The configuration dialog cannot be shown, so the scan starts at once: "),
            std::string::npos)
      << log;
}

INSTANTIATE_TEST_SUITE_P(Environments, DialogCannotBeShown,
                         ::testing::Values(NoDialogCase{"NoDisplay", nullptr},
                                           NoDialogCase{"DisplayWithoutTheProgram", ":99"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScanEndToEnd, FolderWithoutImagesAsksTheApplicationToClose) {
  WriteText(folder + "notes.txt", "nothing to scan");
  OpenAndEnable();
  EXPECT_THAT(app.Received(), ElementsAre(MSG_CLOSEDSREQ));
  EXPECT_TRUE(DisableSucceeds());
}

TEST_F(ScanEndToEnd, FileListWithExcludedPagesAndPdfPages) {
  const std::string tiff = folder + "three.tif";
  WriteTiffPages(tiff, {PageOfWidth(10), PageOfWidth(11), PageOfWidth(12)});
  // Pages of boxes only: text would bring in the system's font set-up, which is not ours to test.
  test_pdf::PageSpec page;
  page.boxes.push_back({72, 72, 144, 72, test_pdf::kRed});
  test_pdf::WritePdf(folder + "two.pdf", {page, page});
  FileListEntry multipage(tiff);
  multipage.excludedPages = {0, 2};
  SaveFileList(settings->GetFileListPath(), {multipage, FileListEntry(folder + "two.pdf")});
  settings->SetListMode(1);
  settings->WriteString("General", "PDFRenderResolution", "50");
  OpenAndEnable();
  EXPECT_THAT(app.Received(), ElementsAre(MSG_XFERREADY));
  EXPECT_EQ(ImagesOffered(), 3);  // page 1 of the TIFF and both PDF pages
}

TEST_F(ScanEndToEnd, ResetEmptiesTheListAndANewSessionLoadsTheFileListAgain) {
  WriteImage(folder + "a.png", PageOfWidth(12));
  WriteImage(folder + "b.png", PageOfWidth(12));
  SaveFileList(settings->GetFileListPath(), {FileListEntry(folder + "a.png"), FileListEntry(folder + "b.png")});
  settings->SetListMode(1);
  OpenAndEnable();
  EXPECT_EQ(Pending(MSG_RESET), 0);
  EXPECT_EQ(Pending(MSG_GET), 0);
  EXPECT_TRUE(DisableSucceeds());

  TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_THAT(app.Received(), ElementsAre(MSG_XFERREADY, MSG_XFERREADY));
  EXPECT_EQ(ImagesOffered(), 2);
}

}  // namespace
}  // namespace acquisition_test
