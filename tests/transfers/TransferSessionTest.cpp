// Whole sessions through DS_Entry and the test manager: the three transfer mechanisms, the
// transfer triplets' answers and refusals, and the end of each transfer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "TransferFixture.h"
#include "platform/ProfileFile.h"

namespace transfers_test {

namespace {

using ::testing::ElementsAre;

constexpr TW_UINT16 kNoCount = 0xFFFF;  // Count -1: more pages, number unknown

// ---- Whole batches, one per mechanism ---------------------------------------------------

class BatchByMechanism : public TransferSession, public ::testing::WithParamInterface<Mechanism> {};

TEST_P(BatchByMechanism, EveryPageArrivesAsInTheFile) {
  const CxImage colour = ColourPage(120, 80, 1);
  const CxImage gray = IndexedPage(64, 40, /*grayRamp=*/true);
  const CxImage bilevel = BilevelPage(1001, 30);
  const CxImage palette = IndexedPage(33, 17, /*grayRamp=*/false);
  struct Expected {
    std::string path;
    int32_t page;
    TW_INT16 pixelType;
  };
  const std::vector<Expected> expected = {
      {WritePage("a.png", colour), 0, TWPT_RGB},
      {WritePage("b.png", gray), 0, TWPT_GRAY},
      {WriteTiff("c.tif", {&bilevel, &palette}), 0, TWPT_BW},
      {PathIn("c.tif"), 1, TWPT_PALETTE},
      {WritePage("d.jpg", ColourPage(90, 60, 2), ImageFormat::Jpeg), 0, TWPT_RGB},
  };

  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  // The first page was ready before MSG_ENABLEDS returned.
  EXPECT_THAT(app.Received(), ElementsAre(MSG_XFERREADY));
  std::vector<ReceivedPage> pages;
  TransferBatch(GetParam(), pages);
  ASSERT_EQ(pages.size(), expected.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    SCOPED_TRACE(expected[i].path + " page " + std::to_string(expected[i].page));
    EXPECT_EQ(pages[i].info.PixelType, expected[i].pixelType);
    EXPECT_TRUE(SamePixels(PixelsOfFile(expected[i].path, expected[i].page), pages[i].pixels));
  }
  EXPECT_EQ(pages[0].info.XResolution.Whole, 300);

  // The batch has ended: state 5, nothing pending, the source can be disabled and closed.
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(pending.Count, 0);
  Disable();
  EXPECT_EQ(app.CloseSource(), TWRC_SUCCESS);
  EXPECT_THAT(app.Received(), ElementsAre(MSG_XFERREADY));
}

INSTANTIATE_TEST_SUITE_P(Mechanisms, BatchByMechanism,
                         ::testing::Values(Mechanism::kNative, Mechanism::kMemory, Mechanism::kFile),
                         [](const auto& info) { return std::string(twacquire::MechanismName(info.param)); });

// ---- Memory transfer --------------------------------------------------------------------

using MemoryTransfer = TransferSession;

TEST_F(MemoryTransfer, SmallColourPageInOneStrip) {
  const std::string path = WritePage("page.png", ColourPage(100, 50));
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  TW_IMAGEINFO info{};
  ASSERT_EQ(app.Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  std::vector<uint8_t> buffer(16384);
  TW_IMAGEMEMXFER strip{};
  strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, 16384, buffer.data()};
  ASSERT_EQ(app.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_XFERDONE);
  EXPECT_EQ(strip.Compression, TWCP_NONE);
  EXPECT_EQ(TW_UINT32{strip.BytesPerRow}, 300u);
  EXPECT_EQ(TW_UINT32{strip.Columns}, 100u);
  EXPECT_EQ(TW_UINT32{strip.Rows}, 50u);
  EXPECT_EQ(TW_UINT32{strip.XOffset}, 0u);
  EXPECT_EQ(TW_UINT32{strip.YOffset}, 0u);
  EXPECT_EQ(TW_UINT32{strip.BytesWritten}, 15000u);
  // Top row first, red, green, blue.
  const Pixels file = PixelsOfFile(path);
  EXPECT_EQ(buffer[0], file.rows[0][2]);
  EXPECT_EQ(buffer[2], file.rows[0][0]);
  EXPECT_EQ(buffer[49 * 300 + 297], file.rows[49][299]);
  EXPECT_EQ(EndTransfer(), 0);
}

TEST_F(MemoryTransfer, LetterPageIn413Strips) {
  const std::string path = WritePage("letter.bmp", ColourPage(2550, 3300, 3), ImageFormat::Bmp);
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  TW_SETUPMEMXFER setup{};
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  EXPECT_EQ(setup.MinBufSize, 16384u);
  EXPECT_EQ(setup.MaxBufSize, 65535u);
  EXPECT_EQ(setup.Preferred, 65535u);

  ReceivedPage page;
  std::vector<uint8_t> buffer(65535);
  std::vector<uint32_t> offsets;
  std::vector<uint8_t> rows(std::size_t{7652} * 3300);
  TW_UINT16 rc = TWRC_SUCCESS;
  while (rc == TWRC_SUCCESS) {
    TW_IMAGEMEMXFER strip{};
    strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, 65535, buffer.data()};
    rc = app.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
    ASSERT_TRUE(rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) << rc;
    ASSERT_EQ(TW_UINT32{strip.BytesPerRow}, 7652u);
    ASSERT_EQ(TW_UINT32{strip.Rows}, rc == TWRC_XFERDONE ? 4u : 8u) << "strip " << offsets.size();
    offsets.push_back(TW_UINT32{strip.YOffset});
    std::memcpy(rows.data() + std::size_t{strip.YOffset} * 7652, buffer.data(), strip.BytesWritten);
  }
  ASSERT_EQ(offsets.size(), 413u);
  for (std::size_t i = 0; i < offsets.size(); ++i) ASSERT_EQ(offsets[i], 8 * i);
  // The received rows, back in stored order, are the file's.
  const Pixels file = PixelsOfFile(path);
  for (uint32_t y = 0; y < 3300; y += 1) {
    const uint8_t* sent = rows.data() + std::size_t{y} * 7652;
    for (uint32_t x = 0; x < 2550; ++x) {
      ASSERT_EQ(sent[3 * x], file.rows[y][3 * x + 2]) << x << "," << y;
      ASSERT_EQ(sent[3 * x + 1], file.rows[y][3 * x + 1]);
      ASSERT_EQ(sent[3 * x + 2], file.rows[y][3 * x]);
    }
  }
  EXPECT_EQ(EndTransfer(), 0);
}

// Rows longer than the fixed buffer sizes: the set-up answer must let an application that
// sizes its buffer by it receive the page.
struct WideRowCase {
  const char* name;
  uint32_t width;  // 24-bit pixels
  TW_UINT32 minBufSize;
  TW_UINT32 preferred;
  TW_UINT32 maxBufSize;
};

constexpr WideRowCase kWideRowCases[] = {
    {"RowAboveTheMinimum", 6000, 18000, 0xFFFF, 0xFFFF},
    {"RowAboveTheMaximum", 25000, 75000, 75000, 75000},
};

class WideRows : public TransferSession, public ::testing::WithParamInterface<WideRowCase> {};

TEST_P(WideRows, BuffersOfTheSetUpSizesTakeTheWholePage) {
  const WideRowCase& wide = GetParam();
  const std::string first = WritePage("a.png", ColourPage(wide.width, 5, 1));
  const std::string second = WritePage("b.png", ColourPage(wide.width, 4, 2));
  Open();
  // No page yet: nothing to size the buffer by.
  TW_SETUPMEMXFER setup{};
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  EXPECT_EQ(setup.MinBufSize, 0x4000u);
  EXPECT_EQ(setup.Preferred, 0xFFFFu);
  EXPECT_EQ(setup.MaxBufSize, 0xFFFFu);

  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  EXPECT_EQ(setup.MinBufSize, wide.minBufSize);
  EXPECT_EQ(setup.Preferred, wide.preferred);
  EXPECT_EQ(setup.MaxBufSize, wide.maxBufSize);

  ReceivedPage page;
  TransferPage(Mechanism::kMemory, page, setup.MinBufSize);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_TRUE(SamePixels(PixelsOfFile(first), page.pixels));
  EXPECT_EQ(static_cast<TW_UINT16>(EndTransfer()), kNoCount);

  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  ReceivedPage next;
  TransferPage(Mechanism::kMemory, next, setup.Preferred);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_TRUE(SamePixels(PixelsOfFile(second), next.pixels));
  EXPECT_EQ(EndTransfer(), 0);
}

INSTANTIATE_TEST_SUITE_P(Widths, WideRows, ::testing::ValuesIn(kWideRowCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MemoryTransfer, BilevelRowsOf1001PixelsTake128Bytes) {
  const std::string path = WritePage("bw.tif", BilevelPage(1001, 20), ImageFormat::Tiff);
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  ReceivedPage page;
  TransferPage(Mechanism::kMemory, page, 16384);
  EXPECT_EQ(page.strips, 1);
  EXPECT_EQ(page.info.PixelType, TWPT_BW);
  EXPECT_TRUE(SamePixels(PixelsOfFile(path), page.pixels));
  TW_IMAGEMEMXFER strip{};
  std::vector<uint8_t> buffer(16384);
  strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, 16384, buffer.data()};
  // The page has gone out whole: a further strip is refused, not counted again.
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_SEQERROR);
}

TEST_F(MemoryTransfer, BufferSmallerThanOneRowIsRefusedAndTheStateStays) {
  WritePage("page.png", ColourPage(100, 50));
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  std::vector<uint8_t> buffer(299);
  TW_IMAGEMEMXFER strip{};
  strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, 299, buffer.data()};
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_BADVALUE);
  strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, 16384, nullptr};
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_BADVALUE);
  // Still state 6 with the page whole: a native transfer is accepted.
  ReceivedPage page;
  TransferPage(Mechanism::kNative, page);
  EXPECT_EQ(page.pixels.width, 100u);
}

// ---- The transfer triplets in state 7 ---------------------------------------------------

using StateSeven = TransferSession;

TEST_F(StateSeven, OnlyFurtherStripsOfAMemoryTransferAreAccepted) {
  WritePage("a.png", ColourPage(100, 50));
  WritePage("b.png", ColourPage(100, 50, 9));
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);

  TW_HANDLE handle = nullptr;
  ASSERT_EQ(app.Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
  std::free(handle);
  handle = nullptr;
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_SEQERROR);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_SEQERROR);
  TW_SETUPMEMXFER setup{};
  EXPECT_EQ(app.Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_SEQERROR);
  // The page went out natively: a memory transfer of it would deliver and count it twice.
  std::vector<uint8_t> buffer(3000);
  TW_IMAGEMEMXFER strip{};
  strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, 3000, buffer.data()};
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_SEQERROR);
  TW_IMAGEINFO info{};
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(static_cast<TW_UINT16>(EndTransfer()), kNoCount);

  // Second page by memory, 10 rows a strip: state 7 from the first strip on, strips go on there.
  ASSERT_EQ(app.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_SUCCESS);
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_SEQERROR);
  TW_UINT16 rc = TWRC_SUCCESS;
  int strips = 1;
  while (rc == TWRC_SUCCESS) {
    rc = app.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
    ++strips;
  }
  EXPECT_EQ(rc, TWRC_XFERDONE);
  EXPECT_EQ(strips, 5);
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(pending.Count, 0);
  EXPECT_EQ(EndTransfer(), 0);
}

// ---- File transfer ----------------------------------------------------------------------

using FileTransfer = TransferSession;

TEST_F(FileTransfer, SetUpMessagesAndTheirFailures) {
  const std::string defaultFile = (environment.Root() / "default.bmp").string();
  ASSERT_TRUE(platform::WritePrivateProfileString("FileTransfer", "DefaultFile", defaultFile,
                                                  settings->GetSettingsFilePath()));
  const std::string wanted = (environment.Root() / "wanted.bmp").string();
  Open();

  TW_SETUPFILEXFER setup{};
  std::strncpy(setup.FileName, wanted.c_str(), sizeof(setup.FileName) - 1);
  setup.Format = TWFF_BMP;
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
  EXPECT_TRUE(std::filesystem::is_regular_file(wanted)) << "created empty";
  EXPECT_EQ(settings->GetCurrentFile(), wanted) << "kept in the settings file";
  TW_SETUPFILEXFER answer{};
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &answer), TWRC_SUCCESS);
  EXPECT_STREQ(answer.FileName, wanted.c_str());
  EXPECT_EQ(answer.Format, TWFF_BMP);
  EXPECT_EQ(answer.VRefNum, 0);
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT, &answer), TWRC_SUCCESS);
  EXPECT_STREQ(answer.FileName, defaultFile.c_str());

  // A format other than BMP is refused and the name falls back to the default.
  setup.Format = TWFF_TIFF;
  EXPECT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_BADVALUE);
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &answer), TWRC_SUCCESS);
  EXPECT_STREQ(answer.FileName, defaultFile.c_str());

  // So does a name that cannot be created.
  const std::string unreachable = (environment.Root() / "missing" / "page.bmp").string();
  std::strncpy(setup.FileName, unreachable.c_str(), sizeof(setup.FileName) - 1);
  setup.Format = TWFF_BMP;
  settings->SetCurrentFile(wanted);
  EXPECT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_BADVALUE);
  EXPECT_EQ(settings->GetCurrentFile(), defaultFile);

  settings->SetCurrentFile(wanted);
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, &answer), TWRC_SUCCESS);
  EXPECT_STREQ(answer.FileName, defaultFile.c_str());
  EXPECT_EQ(settings->GetCurrentFile(), defaultFile);
  EXPECT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETCURRENT, &answer), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_BADPROTOCOL);

  const std::string log = Log();
  EXPECT_NE(log.find("Bad file formatBad value error."), std::string::npos);
  EXPECT_NE(log.find("Unable to create fileBad value error."), std::string::npos);
}

TW_SETUPFILEXFER BmpSetup(const std::string& name) {
  TW_SETUPFILEXFER setup{};
  std::strncpy(setup.FileName, name.c_str(), sizeof(setup.FileName) - 1);
  setup.Format = TWFF_BMP;
  return setup;
}

TEST_F(FileTransfer, ANameTheSettingsCannotKeepIsRefusedAndCreatesNothing) {
  const std::string defaultFile = (environment.Root() / "default.bmp").string();
  ASSERT_TRUE(platform::WritePrivateProfileString("FileTransfer", "DefaultFile", defaultFile,
                                                  settings->GetSettingsFilePath()));
  // An earlier session's file, which this session must not write over.
  const std::string earlier = (environment.Root() / "earlier.bmp").string();
  test_support::ScopedEnvironment::WriteFile(earlier, "earlier page");
  settings->SetCurrentFile(earlier);
  const std::string path = WritePage("page.png", ColourPage(40, 30));
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);

  const std::string lineBreak = (environment.Root() / "two\nlines.bmp").string();
  TW_SETUPFILEXFER setup = BmpSetup(lineBreak);
  EXPECT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_BADVALUE);
  EXPECT_NE(Log().find("Unable to create fileBad value error."), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(lineBreak));
  EXPECT_EQ(settings->GetCurrentFile(), defaultFile);

  ASSERT_EQ(app.Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
  EXPECT_EQ(test_support::ScopedEnvironment::ReadFile(earlier), "earlier page");
  EXPECT_TRUE(SamePixels(PixelsOfFile(path), PixelsOfFile(defaultFile)));
}

TEST_F(FileTransfer, BlanksAtTheEndsOfTheNameAreKept) {
  const std::string path = WritePage("page.png", ColourPage(40, 30));
  const std::string blanks = (environment.Root() / " blank edges.bmp \t").string();
  const std::string trimmed = (environment.Root() / " blank edges.bmp").string();
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  TW_SETUPFILEXFER setup = BmpSetup(blanks);
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
  TW_SETUPFILEXFER answer{};
  ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &answer), TWRC_SUCCESS);
  EXPECT_STREQ(answer.FileName, blanks.c_str());

  ASSERT_EQ(app.Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
  EXPECT_TRUE(SamePixels(PixelsOfFile(path), PixelsOfFile(blanks)));
  EXPECT_FALSE(std::filesystem::exists(trimmed));
}

TEST_F(FileTransfer, EmptyFileNameFailsAndTheStateStays) {
  const std::string path = WritePage("page.png", ColourPage(40, 30));
  settings->SetCurrentFile("");
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_OPERATIONERROR);
  EXPECT_NE(Log().find("DAT_IMAGEFILEXFER.  An operation error just occurred."), std::string::npos);
  // State 6: the set-up triplets are still accepted, and the page is still there.
  TW_SETUPMEMXFER setup{};
  EXPECT_EQ(app.Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  ReceivedPage page;
  TransferPage(Mechanism::kFile, page);
  EXPECT_TRUE(SamePixels(PixelsOfFile(path), page.pixels));
}

// ---- Image information and palette ------------------------------------------------------

using ImageDescription = TransferSession;

TEST_F(ImageDescription, GrayAndPalettePages) {
  const CxImage gray = IndexedPage(20, 10, /*grayRamp=*/true);
  const CxImage palette = IndexedPage(20, 10, /*grayRamp=*/false);
  WritePage("a.bmp", gray, ImageFormat::Bmp);
  WritePage("b.bmp", palette, ImageFormat::Bmp);
  Open();
  // No page before the source is enabled: the palette is a sequence error, not a guess.
  TW_PALETTE8 before{};
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_PALETTE8, MSG_GET, &before), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_SEQERROR);
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);

  for (const CxImage* page : {&gray, &palette}) {
    const bool isGray = page == &gray;
    SCOPED_TRACE(isGray ? "gray" : "palette");
    TW_IMAGEINFO info{};
    ASSERT_EQ(app.Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    EXPECT_EQ(info.PixelType, isGray ? TWPT_GRAY : TWPT_PALETTE);
    EXPECT_EQ(info.SamplesPerPixel, 1);
    EXPECT_EQ(info.BitsPerSample[0], 8);
    EXPECT_EQ(info.BitsPerSample[1], 0);
    EXPECT_EQ(info.BitsPerPixel, 8);
    TW_PALETTE8 colours{};
    ASSERT_EQ(app.Send(DG_IMAGE, DAT_PALETTE8, MSG_GET, &colours), TWRC_SUCCESS);
    EXPECT_EQ(colours.PaletteType, isGray ? TWPA_GRAY : TWPA_RGB);
    ASSERT_EQ(colours.NumColors, 256);
    for (int i = 0; i < 256; i += 51) {
      const RgbQuad entry = page->GetPaletteColor(static_cast<uint32_t>(i));
      EXPECT_EQ(colours.Colors[i].Index, i);
      EXPECT_EQ(colours.Colors[i].Channel1, entry.red);
      EXPECT_EQ(colours.Colors[i].Channel2, entry.green);
      EXPECT_EQ(colours.Colors[i].Channel3, entry.blue);
    }
    EndTransfer();  // before any transfer: the next page
  }
}

// ---- End of transfer --------------------------------------------------------------------

using EndOfTransfer = TransferSession;

TEST_F(EndOfTransfer, TransferCountTwoOfFivePages) {
  for (int i = 0; i < 5; ++i) WritePage("p" + std::to_string(i) + ".png", ColourPage(30, 20, i));
  Open();
  ASSERT_EQ(SetCapability(CAP_XFERCOUNT, TWTY_INT16, 2), TWRC_SUCCESS);
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  std::vector<ReceivedPage> pages;
  TransferBatch(Mechanism::kNative, pages);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_TRUE(SamePixels(PixelsOfFile(PathIn("p1.png")), pages[1].pixels));
  EXPECT_NE(Log().find("EndXfers: cancel or number of images exceed"), std::string::npos);
  Disable();  // state 5
}

TEST_F(EndOfTransfer, EndBeforeAnyTransferMovesToTheNextPage) {
  WritePage("a.png", ColourPage(30, 20, 1));
  const std::string second = WritePage("b.png", ColourPage(31, 20, 2));
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  EXPECT_EQ(static_cast<TW_UINT16>(EndTransfer()), kNoCount);
  ReceivedPage page;
  TransferPage(Mechanism::kMemory, page);
  EXPECT_TRUE(SamePixels(PixelsOfFile(second), page.pixels));
  EXPECT_EQ(EndTransfer(), 0);
}

TEST_F(EndOfTransfer, DeletedFilesGoAfterTheirLastPage) {
  settings->SetDeleteFiles(true);
  const CxImage a = ColourPage(30, 20, 1);
  const CxImage b = ColourPage(30, 20, 2);
  const CxImage c = ColourPage(30, 20, 3);
  const std::string threePages = WriteTiff("a.tif", {&a, &b, &c});
  const std::string single = WritePage("b.png", ColourPage(25, 10));
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  for (int page = 0; page < 3; ++page) {
    SCOPED_TRACE(page);
    ReceivedPage received;
    TransferPage(Mechanism::kNative, received);
    EXPECT_TRUE(std::filesystem::exists(threePages)) << "before its end of transfer";
    EXPECT_EQ(static_cast<TW_UINT16>(EndTransfer()), kNoCount);
    EXPECT_EQ(std::filesystem::exists(threePages), page < 2);
  }
  EXPECT_TRUE(std::filesystem::exists(single));
  ReceivedPage received;
  TransferPage(Mechanism::kNative, received);
  EXPECT_EQ(EndTransfer(), 0);
  EXPECT_FALSE(std::filesystem::exists(single));
}

TEST_F(EndOfTransfer, EmptyFolderAsksToBeClosed) {
  Open();
  ASSERT_EQ(EnableHeadless(), TWRC_SUCCESS);
  EXPECT_THAT(app.Received(), ElementsAre(MSG_CLOSEDSREQ));
  EXPECT_NE(Log().find("Failed to load any images, CloseDS required"), std::string::npos);
  TW_PALETTE8 palette{};
  EXPECT_EQ(app.Send(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_FAILURE);
  EXPECT_EQ(app.SourceCondition(), TWCC_SEQERROR);
  Disable();  // still state 5
}

}  // namespace

}  // namespace transfers_test
