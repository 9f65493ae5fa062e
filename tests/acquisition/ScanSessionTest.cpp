// Batches from disk inside the test process: what the source holds for the next transfer after
// the scan starts and after each MSG_ENDXFER, which files it deletes, and when it asks the
// application to close it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "AcquisitionFixtures.h"
#include "ScanFixture.h"
#include "acquisition/FileListEntry.h"
#include "acquisition/FileListFile.h"
#include "imaging/ImageFixtures.h"
#include "platform/SystemInfo.h"
#include "twain/capabilities/CapabilityValues.h"

namespace acquisition_test {
namespace {

using ::testing::ElementsAre;

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

TEST_F(ScanSession, FolderPagesArriveInNameOrderEachPreparedForTransfer) {
  WriteImage(folder + "b.JPG", PageOfWidth(31), ImageFormat::Jpeg);
  WriteImage(folder + "a.png", PageOfWidth(30));
  WriteText(folder + "c.txt", "notes");
  WriteImage(folder + ".d.png", PageOfWidth(33));
  OpenAndEnable();

  EXPECT_THAT(Notifications(), ElementsAre(MSG_XFERREADY));
  EXPECT_EQ(Source().State(), 600);
  EXPECT_EQ(Source().InternalState(), Velloran::kScanRunning);
  EXPECT_EQ(CurrentWidth(), 30u);
  EXPECT_EQ(PendingCount(), 2);  // the page held and b.JPG
  EXPECT_EQ(Source().Dialog()->LastStatus().text, folder + "a.png");

  EXPECT_EQ(EndXfer(), -1);
  EXPECT_EQ(CurrentWidth(), 31u);
  EXPECT_EQ(PendingCount(), 1);
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_EQ(Source().State(), 500);
  EXPECT_EQ(Source().InternalState(), Velloran::kScanIdle);
  EXPECT_EQ(Source().CurrentImage(), nullptr);
  EXPECT_EQ(PendingCount(), 0);
  EXPECT_EQ(Source().Dialog()->LastStatus().text, "0 images transferred");

  const std::string log = Log();
  EXPECT_NE(log.find("DEBUG Velloran: StartScan: Starting simple scan from disk\n"), std::string::npos);
  EXPECT_NE(log.find("DEBUG Velloran: Unsupported file format. File: " + folder + "c.txt\n"), std::string::npos);
  EXPECT_NE(log.find("DEBUG Velloran: EndXfers: new image was loaded\n"), std::string::npos);
  EXPECT_NE(log.find("DEBUG Velloran: EndXfers: no new images\n"), std::string::npos);
  EXPECT_EQ(log.find(".d.png"), std::string::npos) << log;
}

TEST_F(ScanSession, PagesFollowTheEnhancementsAndTheNegotiatedFormat) {
  settings->SetForcePixelTypeToCapability(true);
  settings->WriteString("General", "FixResolution", "1");
  settings->SetRotation(90);
  WriteImage(folder + "page.png", fixtures::MakeTestPage(64, 48, 300));
  Open();
  ASSERT_EQ(SetCapability(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
  ASSERT_EQ(SetCapability(ICAP_BITDEPTH, TWTY_UINT16, 8), TWRC_SUCCESS);
  ASSERT_EQ(SetResolution(ICAP_XRESOLUTION, 150), TWRC_SUCCESS);
  ASSERT_EQ(SetResolution(ICAP_YRESOLUTION, 150), TWRC_SUCCESS);
  Enable();
  const ScanImage* page = Source().CurrentImage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->PixelType(), TWPT_GRAY);
  EXPECT_EQ(page->Image().GetBpp(), 8u);
  EXPECT_EQ(page->Image().GetWidth(), 24u);  // turned, then 300 to 150 dpi
  EXPECT_EQ(page->Image().GetHeight(), 32u);
  EXPECT_EQ(page->Image().GetXDPI(), 150);
  EXPECT_EQ(page->BytesPerRow(), 24);
  for (TW_UINT16 cap : {ICAP_PIXELTYPE, ICAP_BITDEPTH, ICAP_XRESOLUTION, ICAP_YRESOLUTION}) ResetCapability(cap);
}

struct NothingCase {
  const char* name;
  const char* currentDirectory;  // nullptr: the scan folder, left empty of images
};

class NothingToScan : public ScanSession, public ::testing::WithParamInterface<NothingCase> {};

TEST_P(NothingToScan, AsksTheApplicationToCloseAndTouchesNoFile) {
  // The process's working folder holds an image: an empty folder name must not reach it, even
  // with DeleteFiles on.
  const std::string work = (environment.Root() / "work").string() + "/";
  WriteImage(work + "own.png", PageOfWidth(8));
  WriteText(folder + "readme.txt", "no images here");
  settings->SetDeleteFiles(true);
  if (GetParam().currentDirectory != nullptr) settings->SetCurrentDirectory(GetParam().currentDirectory);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(work);
  OpenAndEnable();
  std::filesystem::current_path(before);

  EXPECT_THAT(Notifications(), ElementsAre(MSG_CLOSEDSREQ));
  EXPECT_EQ(Source().State(), 500);
  EXPECT_TRUE(Exists(work + "own.png"));
  EXPECT_NE(Log().find("ERROR Velloran: Failed to load any images, CloseDS required\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Folders, NothingToScan,
                         ::testing::Values(NothingCase{"EmptyName", ""}, NothingCase{"NoImages", nullptr},
                                           NothingCase{"Missing", "/no/such/folder/"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScanSession, FileListScanDeliversItsPagesWithoutAnyDisplay) {
  const std::string tiff = folder + "three.tif";
  WriteTiffPages(tiff, {PageOfWidth(40), PageOfWidth(41), PageOfWidth(42)});
  WriteImage(folder + "single.png", PageOfWidth(50));
  FileListEntry multipage(tiff);
  multipage.excludedPages = {1};
  SaveFileList(settings->GetFileListPath(), {multipage, FileListEntry(folder + "single.png")});
  settings->SetListMode(1);
  settings->SetCurrentDirectory("");  // not read in file-list mode
  OpenAndEnable();

  std::vector<uint32_t> widths{CurrentWidth()};
  while (EndXfer() == -1) widths.push_back(CurrentWidth());
  EXPECT_THAT(widths, ElementsAre(40u, 42u, 50u));
  EXPECT_THAT(Notifications(), ElementsAre(MSG_XFERREADY));
  EXPECT_NE(Log().find("DEBUG MainDialog: Loading files list\n"), std::string::npos);
}

TEST_F(ScanSession, ResetEmptiesAFileListUntilItIsLoadedAgain) {
  WriteImage(folder + "a.png", PageOfWidth(20));
  WriteImage(folder + "b.png", PageOfWidth(21));
  SaveFileList(settings->GetFileListPath(), {FileListEntry(folder + "a.png"), FileListEntry(folder + "b.png")});
  settings->SetListMode(1);
  OpenAndEnable(/*showUI=*/true);
  {
    Velloran::SessionLock lock(Source());
    Source().Dialog()->OnScan();
  }
  ASSERT_EQ(Source().State(), 600);
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(pending.Count, 0);
  EXPECT_EQ(Source().CurrentImage(), nullptr);

  {
    Velloran::SessionLock lock(Source());
    Source().StartScan();  // a new batch, the Folder page not refreshed
  }
  EXPECT_THAT(Notifications(), ElementsAre(MSG_XFERREADY, MSG_CLOSEDSREQ));
  EXPECT_EQ(Source().State(), 500);

  {
    Velloran::SessionLock lock(Source());
    Source().LoadFileList();  // the Folder page shows again
    Source().StartScan();
  }
  EXPECT_EQ(Source().State(), 600);
  EXPECT_EQ(CurrentWidth(), 20u);
}

TEST_F(ScanSession, LoopModeRepeatsTheFilesUpToThePageNumber) {
  WriteImage(folder + "1.png", PageOfWidth(10));
  WriteImage(folder + "2.png", PageOfWidth(11));
  settings->SetRecycle(true);
  settings->SetPageNumber(5);
  CapabilityValues::SetXferCount(-1);
  OpenAndEnable();
  EXPECT_EQ(CapabilityValues::XferCount(), 5);
  EXPECT_EQ(PendingCount(), 5);  // the page held and four more moves
  std::vector<uint32_t> widths{CurrentWidth()};
  while (EndXfer() == -1) widths.push_back(CurrentWidth());
  EXPECT_THAT(widths, ElementsAre(10u, 11u, 10u, 11u, 10u));
  CapabilityValues::SetXferCount(-1);
}

TEST_F(ScanSession, LoopModeTransferCountIsLimitedTo16Bits) {
  WriteImage(folder + "1.png", PageOfWidth(10));
  settings->SetRecycle(true);
  settings->SetPageNumber(100000);
  OpenAndEnable();
  EXPECT_EQ(CapabilityValues::XferCount(), 32767);
  CapabilityValues::SetXferCount(-1);
}

TEST_F(ScanSession, TransferCountEndsTheBatch) {
  for (const char* name : {"1.png", "2.png", "3.png"}) WriteImage(folder + name, PageOfWidth(10));
  CapabilityValues::SetXferCount(2);
  OpenAndEnable();
  Source().CountTransfer();
  EXPECT_EQ(EndXfer(), -1);
  Source().CountTransfer();
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_NE(Log().find("DEBUG Velloran: EndXfers: gCurrentXferCount=2 m_nXferCount=2\n"), std::string::npos);
  EXPECT_NE(Log().find("DEBUG Velloran: EndXfers: cancel or number of images exceed\n"), std::string::npos);
  EXPECT_EQ(Source().Dialog()->LastStatus().text, "2 images transferred");
  CapabilityValues::SetXferCount(-1);
}

TEST_F(ScanSession, CancelEndsTheBatchAtTheNextEndOfTransfer) {
  for (const char* name : {"1.png", "2.png"}) WriteImage(folder + name, PageOfWidth(10));
  OpenAndEnable();
  Source().SetInternalState(Velloran::kScanCancelRequested);
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_EQ(Source().InternalState(), Velloran::kScanIdle);
}

TEST_F(ScanSession, DeletesEachFileAfterItsLastPageOnly) {
  settings->SetDeleteFiles(true);
  const std::string tiff = folder + "a.tif";
  WriteTiffPages(tiff, {PageOfWidth(10), PageOfWidth(11), PageOfWidth(12)});
  WriteImage(folder + "b.png", PageOfWidth(20));
  WriteImage(folder + "c.png", PageOfWidth(21));
  OpenAndEnable();
  EXPECT_EQ(EndXfer(), -1);  // to page 1
  EXPECT_EQ(EndXfer(), -1);  // to page 2
  EXPECT_TRUE(Exists(tiff));
  EXPECT_EQ(EndXfer(), -1);  // to b.png, after the third page
  EXPECT_FALSE(Exists(tiff));
  EXPECT_TRUE(Exists(folder + "b.png"));

  std::filesystem::remove(folder + "b.png");  // someone else was quicker
  EXPECT_EQ(EndXfer(), -1);  // to c.png: the batch goes on
  EXPECT_EQ(CurrentWidth(), 21u);
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_FALSE(Exists(folder + "c.png"));
  EXPECT_NE(Log().find("ERROR Velloran: Failed to delete file. Error " + std::to_string(ENOENT) + ": " +
                       platform::SystemErrorText(ENOENT) + "\n"),
            std::string::npos)
      << Log();
}

TEST_F(ScanSession, FileWhoseLastPageIsExcludedIsKept) {
  settings->SetDeleteFiles(true);
  const std::string tiff = folder + "a.tif";
  WriteTiffPages(tiff, {PageOfWidth(10), PageOfWidth(11)});
  WriteImage(folder + "b.png", PageOfWidth(20));
  FileListEntry entry(tiff);
  entry.excludedPages = {1};
  SaveFileList(settings->GetFileListPath(), {entry, FileListEntry(folder + "b.png")});
  settings->SetListMode(1);
  OpenAndEnable();
  EXPECT_EQ(EndXfer(), -1);
  EXPECT_EQ(CurrentWidth(), 20u);
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_TRUE(Exists(tiff));
  EXPECT_FALSE(Exists(folder + "b.png"));
}

TEST_F(ScanSession, NetworkSourcesAskTheApplicationToCloseUntilTheyExist) {
  settings->SetMode(2);
  OpenAndEnable();
  EXPECT_THAT(Notifications(), ElementsAre(MSG_CLOSEDSREQ));
  EXPECT_EQ(Source().State(), 500);
  EXPECT_NE(Log().find("DEBUG Velloran: StartScan: Starting MFP-FTP processing\n"), std::string::npos);
}

}  // namespace
}  // namespace acquisition_test
