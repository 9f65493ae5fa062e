// Batches from disk inside the test process: what the source holds for the next transfer after
// the scan starts and after each MSG_ENDXFER, which files it deletes, and when it asks the
// application to close it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "AcquisitionFixtures.h"
#include "ScanFixture.h"
#include "acquisition/FileListEntry.h"
#include "acquisition/FileListFile.h"
#include "imaging/ImageFixtures.h"
#include "pdf/PdfWriter.h"
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

// Applications are offered 1, 8 and 24 bits: a 4-bit page goes out as the same picture with
// 8-bit indices into the same palette, whether or not the pixel type is forced.
TEST_F(ScanSession, FourBitPagesGoOutWithEightBitIndices) {
  CxImage page;
  ASSERT_TRUE(page.Create(5, 3, 4));
  for (uint32_t i = 0; i < 16; ++i) {
    RgbQuad color{};
    color.red = static_cast<uint8_t>(i * 16);
    color.green = static_cast<uint8_t>(255 - i * 16);
    page.SetPaletteColor(i, color);
  }
  // Indices 0..14 over the rows, two to a byte, high nibble first.
  for (uint32_t row = 0; row < 3; ++row) {
    uint8_t* bits = page.GetBits(row);
    for (uint32_t x = 0; x < 5; ++x) {
      const auto index = static_cast<uint8_t>(row * 5 + x);
      bits[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
  }
  WriteImage(folder + "four.bmp", page, ImageFormat::Bmp);
  settings->SetForcePixelTypeToCapability(false);
  OpenAndEnable();
  const ScanImage* held = Source().CurrentImage();
  ASSERT_NE(held, nullptr);
  const CxImage& image = held->Image();
  ASSERT_EQ(image.GetBpp(), 8u);
  EXPECT_EQ(held->BytesPerRow(), 8);
  for (uint32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(image.GetPaletteColor(i).red, i * 16) << i;
    EXPECT_EQ(image.GetPaletteColor(i).green, 255 - i * 16) << i;
  }
  for (uint32_t row = 0; row < 3; ++row) {
    for (uint32_t x = 0; x < 5; ++x) EXPECT_EQ(image.GetBits(row)[x], row * 5 + x) << row << "," << x;
  }
  TW_IMAGEINFO info{};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(info.BitsPerPixel, 8);
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
  const auto transferAndEnd = [&] {
    EXPECT_EQ(TransferNative(), TWRC_XFERDONE);
    return EndXfer();
  };
  EXPECT_EQ(transferAndEnd(), -1);  // to page 1
  EXPECT_EQ(transferAndEnd(), -1);  // to page 2
  EXPECT_TRUE(Exists(tiff));
  EXPECT_EQ(transferAndEnd(), -1);  // to b.png, after the third page
  EXPECT_FALSE(Exists(tiff));
  EXPECT_TRUE(Exists(folder + "b.png"));

  std::filesystem::remove(folder + "b.png");  // someone else was quicker
  EXPECT_EQ(transferAndEnd(), -1);  // to c.png: the batch goes on
  EXPECT_EQ(CurrentWidth(), 21u);
  EXPECT_EQ(transferAndEnd(), 0);
  EXPECT_FALSE(Exists(folder + "c.png"));
  EXPECT_NE(Log().find("ERROR Velloran: Failed to delete file. Error " + std::to_string(ENOENT) + ": " +
                       platform::SystemErrorText(ENOENT) + "\n"),
            std::string::npos)
      << Log();
}

struct DeliveryCase {
  const char* name;
  const char* pages;  // per page of a three-page file: T native, M memory strips, S one strip only, D discarded
  bool deleted;
};

class FileDeletion : public ScanSession, public ::testing::WithParamInterface<DeliveryCase> {};

// A file goes only once every page of it reached the application whole: a page discarded in
// state 6 or a memory transfer cut short keeps it.
TEST_P(FileDeletion, FollowsWhatReachedTheApplication) {
  settings->SetDeleteFiles(true);
  const std::string tiff = folder + "a.tif";
  WriteTiffPages(tiff, {PageOfWidth(10), PageOfWidth(11), PageOfWidth(12)});
  OpenAndEnable();
  for (const char* action = GetParam().pages; *action != '\0'; ++action) {
    SCOPED_TRACE(*action);
    if (*action == 'T') {
      EXPECT_EQ(TransferNative(), TWRC_XFERDONE);
    }
    if (*action == 'S') {
      EXPECT_EQ(TransferOneRow(), TWRC_SUCCESS);
    }
    if (*action == 'M') {
      TW_UINT16 result = TWRC_SUCCESS;
      while (result == TWRC_SUCCESS) result = TransferOneRow();
      EXPECT_EQ(result, TWRC_XFERDONE);
    }
    EndXfer();
  }
  EXPECT_EQ(Source().State(), 500);
  EXPECT_EQ(Exists(tiff), !GetParam().deleted);
}

INSTANTIATE_TEST_SUITE_P(Pages, FileDeletion,
                         ::testing::Values(DeliveryCase{"EveryPageNative", "TTT", true},
                                           DeliveryCase{"NativeAndMemory", "TMT", true},
                                           DeliveryCase{"NothingTransferred", "DDD", false},
                                           DeliveryCase{"LastPageDiscarded", "TTD", false},
                                           DeliveryCase{"MiddlePageDiscarded", "TDT", false},
                                           DeliveryCase{"MemoryTransferCutShort", "TTS", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The file under the name may not be the one that was read: the one that came later stays.
TEST_F(ScanSession, FileReplacedBeforeTheEndOfTransferIsKept) {
  settings->SetDeleteFiles(true);
  WriteImage(folder + "a.png", PageOfWidth(10));
  OpenAndEnable();
  const std::string newer = (environment.Root() / "newer.png").string();
  WriteImage(newer, PageOfWidth(30));
  std::filesystem::rename(newer, folder + "a.png");
  EXPECT_EQ(TransferNative(), TWRC_XFERDONE);
  EXPECT_EQ(EndXfer(), 0);
  ASSERT_TRUE(Exists(folder + "a.png"));
  CxImage kept;
  ASSERT_TRUE(kept.LoadFile(folder + "a.png"));
  EXPECT_EQ(kept.GetWidth(), 30u);
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
  EXPECT_EQ(TransferNative(), TWRC_XFERDONE);
  EXPECT_EQ(EndXfer(), -1);
  EXPECT_EQ(CurrentWidth(), 20u);
  EXPECT_EQ(TransferNative(), TWRC_XFERDONE);
  EXPECT_EQ(EndXfer(), 0);
  EXPECT_TRUE(Exists(tiff));
  EXPECT_FALSE(Exists(folder + "b.png"));
}

// Loop mode over files none of which can be read stops after one pass instead of trying each
// of them again up to PageNumber times.
TEST_F(ScanSession, LoopModeOverUnreadableFilesEndsAfterOnePass) {
  WriteText(folder + "a.png", "not a picture");
  WriteText(folder + "b.png", "nor this");
  settings->SetRecycle(true);
  settings->SetPageNumber(2147483647);
  OpenAndEnable();
  EXPECT_THAT(Notifications(), ElementsAre(MSG_CLOSEDSREQ));
  const std::string log = Log();
  const std::string loading = "DEBUG Velloran: LoadNextImage: loading " + folder + "a.png\n";
  const std::size_t first = log.find(loading);
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_EQ(log.find(loading, first + 1), std::string::npos) << "a second pass";
  CapabilityValues::SetXferCount(-1);
}

// A FIFO, a socket or a device with an image file's name is skipped, never opened: opening a
// FIFO would block the source for good.
TEST_F(ScanSession, SpecialFilesWithImageNamesAreSkipped) {
  for (const char* name : {"a.pdf", "b.png", "c.tif"}) {
    ASSERT_EQ(mkfifo((folder + name).c_str(), 0600), 0) << name;
  }
  WriteImage(folder + "d.png", PageOfWidth(17));
  OpenAndEnable();
  EXPECT_THAT(Notifications(), ElementsAre(MSG_XFERREADY));
  EXPECT_EQ(CurrentWidth(), 17u);
  EXPECT_NE(Log().find("ERROR ScanImage: FAILED to Load page: 0, file: " + folder + "a.pdf: not a regular file\n"),
            std::string::npos)
      << Log();
}

// A name that is not UTF-8 is a name all the same, for a PDF document as for any other file.
TEST_F(ScanSession, PdfWhoseNameIsNotUtf8IsDelivered) {
  const std::string name = folder + "Re\xe7u \xff.pdf";
  test_pdf::PageSpec page;
  page.width = 200;
  page.height = 100;
  page.boxes.push_back({10, 10, 50, 20, test_pdf::kRed});
  test_pdf::WritePdf(name, {page});
  settings->WriteString("General", "PDFRenderResolution", "72");
  OpenAndEnable();
  EXPECT_THAT(Notifications(), ElementsAre(MSG_XFERREADY));
  ASSERT_NE(Source().CurrentImage(), nullptr);
  EXPECT_TRUE(Source().CurrentImage()->IsPdf());
}

// The remote scanner is chosen by its bit of Mode, and is not there yet: the scan ends with the
// connection error instead of a wait for files that cannot come.
TEST_F(ScanSession, UnavailableNetworkSourceEndsTheScanWithTheConnectionError) {
  settings->SetMode(8);
  OpenAndEnable();
  EXPECT_THAT(Notifications(), ElementsAre(MSG_CLOSEDSREQ));
  EXPECT_EQ(Source().State(), 500);
  EXPECT_NE(Log().find("ERROR Velloran: There is error during connection to server."), std::string::npos) << Log();
}

}  // namespace
}  // namespace acquisition_test
