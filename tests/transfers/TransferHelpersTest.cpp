// The page-level pieces of the transfers, on pages made here: image description, palette,
// memory strips and the native copy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/kernels/CpuFeatures.h"
#include "support/ScopedEnvironment.h"
#include "twain/transfers/FileTransferName.h"
#include "twain/transfers/ImageDescription.h"
#include "twain/transfers/MemoryStrip.h"
#include "twain/transfers/NativeBitmap.h"

namespace {

// Pixel (x, y) of a 24-bit page, y from the top, as blue, green, red: every pixel differs from
// its neighbours and the three channels differ from each other.
RgbQuad PixelAt(uint32_t x, uint32_t y) {
  return RgbQuad{static_cast<uint8_t>(x * 7 + y), static_cast<uint8_t>(x + y * 3), static_cast<uint8_t>(x ^ y), 0};
}

CxImage ColourPage(uint32_t width, uint32_t height) {
  CxImage image;
  EXPECT_TRUE(image.Create(width, height, 24));
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = image.GetBits(height - 1 - y);
    for (uint32_t x = 0; x < width; ++x) {
      const RgbQuad c = PixelAt(x, y);
      row[3 * x] = c.blue;
      row[3 * x + 1] = c.green;
      row[3 * x + 2] = c.red;
    }
  }
  return image;
}

// A page of `bpp` bits whose stored bytes count up, row by row.
CxImage IndexedPage(uint32_t width, uint32_t height, uint32_t bpp) {
  CxImage image;
  EXPECT_TRUE(image.Create(width, height, bpp));
  for (uint32_t row = 0; row < height; ++row) {
    uint8_t* bits = image.GetBits(row);
    for (uint32_t i = 0; i < image.GetEffWidth(); ++i) bits[i] = static_cast<uint8_t>(row * 31 + i);
  }
  return image;
}

uint32_t RowLength(uint32_t width, uint32_t bpp) { return ((width * bpp + 7) / 8 + 3) / 4 * 4; }

// ---- Memory strips ----------------------------------------------------------------------

TEST(MemoryStripTest, ColourPageInOneStripIsTopDownRgb) {
  const CxImage page = ColourPage(100, 50);
  std::vector<uint8_t> buffer(16384, 0xEE);
  const MemoryStrip strip = WriteMemoryStrip(page, 300, 0, buffer.data(), static_cast<uint32_t>(buffer.size()));
  ASSERT_EQ(strip.rows, 50u);
  EXPECT_EQ(strip.bytesWritten, 15000u);
  for (uint32_t y = 0; y < 50; ++y) {
    for (uint32_t x = 0; x < 100; ++x) {
      const uint8_t* p = &buffer[y * 300 + x * 3];
      const RgbQuad c = PixelAt(x, y);
      ASSERT_EQ(p[0], c.red) << x << "," << y;
      ASSERT_EQ(p[1], c.green);
      ASSERT_EQ(p[2], c.blue);
    }
  }
  EXPECT_EQ(buffer[15000], 0xEE) << "nothing past the strip is written";
}

TEST(MemoryStripTest, StripsFollowEachOtherAndPadWithZero) {
  // 2550 pixels: 7650 bytes padded to 7652; 8 rows of a 65535-byte buffer; 413 strips.
  const CxImage page = ColourPage(2550, 3300);
  const uint32_t bytesPerRow = RowLength(2550, 24);
  ASSERT_EQ(bytesPerRow, 7652u);
  std::vector<uint8_t> buffer(65535, 0xEE);
  uint32_t row = 0;
  int strips = 0;
  while (row < 3300) {
    const MemoryStrip strip = WriteMemoryStrip(page, bytesPerRow, row, buffer.data(), 65535);
    ASSERT_EQ(strip.rows, row + 8 <= 3300 ? 8u : 4u) << "strip " << strips;
    // The first and last pixel of the strip's first row, and the row's padding.
    const RgbQuad first = PixelAt(0, row);
    const RgbQuad last = PixelAt(2549, row);
    EXPECT_EQ(buffer[0], first.red);
    EXPECT_EQ(buffer[7649], last.blue);
    EXPECT_EQ(buffer[7650], 0);
    EXPECT_EQ(buffer[7651], 0);
    row += strip.rows;
    ++strips;
  }
  EXPECT_EQ(strips, 413);
  EXPECT_EQ(WriteMemoryStrip(page, bytesPerRow, 3300, buffer.data(), 65535).rows, 0u);
}

TEST(MemoryStripTest, EveryKernelTurnsEveryRowLengthAround) {
  // The vector kernel works five pixels at a time with a scalar tail: every length up to a few
  // steps, for each kernel the processor has, must give the same pixels and touch nothing after.
  const imaging::SimdLevel ceiling = imaging::SimdCeiling();
  for (imaging::SimdLevel level : {imaging::SimdLevel::kPortable, imaging::SimdLevel::kSsse3}) {
    imaging::SetSimdCeiling(level);
    for (uint32_t pixels = 0; pixels <= 40; ++pixels) {
      SCOPED_TRACE(testing::Message() << "level " << static_cast<int>(level) << ", " << pixels << " pixels");
      std::vector<uint8_t> bgr(3 * pixels);
      for (std::size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<uint8_t>(i * 13 + 1);
      std::vector<uint8_t> rgb(3 * pixels + 1, 0xEE);
      BgrToRgb(bgr.data(), rgb.data(), pixels);
      for (uint32_t p = 0; p < pixels; ++p) {
        ASSERT_EQ(rgb[3 * p], bgr[3 * p + 2]);
        ASSERT_EQ(rgb[3 * p + 1], bgr[3 * p + 1]);
        ASSERT_EQ(rgb[3 * p + 2], bgr[3 * p]);
      }
      EXPECT_EQ(rgb[3 * pixels], 0xEE);
    }
  }
  imaging::SetSimdCeiling(ceiling);
}

struct IndexedCase {
  const char* name;
  uint32_t width;
  uint32_t bpp;
};

class IndexedStripTest : public ::testing::TestWithParam<IndexedCase> {};

TEST_P(IndexedStripTest, RowsAreCopiedAsStoredTopFirst) {
  const IndexedCase& c = GetParam();
  const CxImage page = IndexedPage(c.width, 5, c.bpp);
  const uint32_t bytesPerRow = RowLength(c.width, c.bpp);
  std::vector<uint8_t> buffer(bytesPerRow * 5);
  const MemoryStrip strip = WriteMemoryStrip(page, bytesPerRow, 0, buffer.data(), static_cast<uint32_t>(buffer.size()));
  ASSERT_EQ(strip.rows, 5u);
  for (uint32_t y = 0; y < 5; ++y) {
    EXPECT_EQ(std::memcmp(&buffer[y * bytesPerRow], page.GetBits(4 - y), bytesPerRow), 0) << "row " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, IndexedStripTest,
                         ::testing::Values(IndexedCase{"bw_1001_wide", 1001, 1}, IndexedCase{"four_bit", 13, 4},
                                           IndexedCase{"eight_bit", 10, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MemoryStripTest, OneBitRowOf1001PixelsIs128Bytes) { EXPECT_EQ(RowLength(1001, 1), 128u); }

TEST(MemoryStripTest, BufferSmallerThanOneRowGetsNothing) {
  const CxImage page = ColourPage(100, 50);
  std::vector<uint8_t> buffer(299, 0xEE);
  const MemoryStrip strip = WriteMemoryStrip(page, 300, 0, buffer.data(), 299);
  EXPECT_EQ(strip.rows, 0u);
  EXPECT_EQ(strip.bytesWritten, 0u);
  EXPECT_EQ(buffer[0], 0xEE);
}

TEST(MemoryStripTest, LongerRowLengthNeverReadsPastTheStoredRow) {
  // The top row is the last stored row: reading past it would leave the block (ASan).
  const CxImage page = IndexedPage(8, 3, 8);
  std::vector<uint8_t> buffer(64, 0xEE);
  const MemoryStrip strip = WriteMemoryStrip(page, 16, 0, buffer.data(), 64);
  ASSERT_EQ(strip.rows, 3u);
  EXPECT_EQ(std::memcmp(buffer.data(), page.GetBits(2), 8), 0);
  for (int i = 8; i < 16; ++i) EXPECT_EQ(buffer[i], 0) << i;
}

// ---- Image information and palette -----------------------------------------------------

struct DescriptionCase {
  const char* name;
  uint32_t bpp;
  bool grayRamp;
  TW_INT16 pixelType;
  TW_UINT16 paletteType;
};

class DescriptionTest : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(DescriptionTest, PixelTypeSamplesAndPalette) {
  const DescriptionCase& c = GetParam();
  CxImage page;
  ASSERT_TRUE(page.Create(33, 21, c.bpp));
  page.SetXDPI(300);
  page.SetYDPI(150);
  for (uint32_t i = 0; i < page.GetNumColors(); ++i) {
    const auto v = static_cast<uint8_t>(i);
    page.SetPaletteColor(i, c.grayRamp ? RgbQuad{v, v, v, 0} : RgbQuad{v, static_cast<uint8_t>(v / 2), 7, 0});
  }

  TW_IMAGEINFO info;
  std::memset(&info, 0x5A, sizeof(info));
  DescribeImage(page, info);
  EXPECT_EQ(info.ImageWidth, 33);
  EXPECT_EQ(info.ImageLength, 21);
  EXPECT_EQ(info.XResolution.Whole, 300);
  EXPECT_EQ(info.YResolution.Whole, 150);
  EXPECT_EQ(info.XResolution.Frac, 0);
  EXPECT_EQ(info.BitsPerPixel, static_cast<TW_INT16>(c.bpp));
  EXPECT_EQ(info.PixelType, c.pixelType);
  EXPECT_EQ(info.Planar, TW_FALSE);
  EXPECT_EQ(info.Compression, TWCP_NONE);
  const std::vector<TW_INT16> samples(info.BitsPerSample, info.BitsPerSample + 8);
  if (c.bpp == 24) {
    EXPECT_EQ(info.SamplesPerPixel, 3);
    EXPECT_EQ(samples, (std::vector<TW_INT16>{8, 8, 8, 0, 0, 0, 0, 0}));
  } else {
    EXPECT_EQ(info.SamplesPerPixel, 1);
    EXPECT_EQ(samples, (std::vector<TW_INT16>{static_cast<TW_INT16>(c.bpp), 0, 0, 0, 0, 0, 0, 0}));
  }

  TW_PALETTE8 palette;
  std::memset(&palette, 0x5A, sizeof(palette));
  DescribePalette(page, palette);
  EXPECT_EQ(palette.PaletteType, c.paletteType);
  ASSERT_EQ(palette.NumColors, page.GetNumColors());
  for (uint32_t i = 0; i < page.GetNumColors(); ++i) {
    const RgbQuad entry = page.GetPaletteColor(i);
    EXPECT_EQ(palette.Colors[i].Index, i);
    EXPECT_EQ(palette.Colors[i].Channel1, entry.red);
    EXPECT_EQ(palette.Colors[i].Channel2, entry.green);
    EXPECT_EQ(palette.Colors[i].Channel3, entry.blue);
  }
  if (palette.NumColors < 256) {
    EXPECT_EQ(palette.Colors[palette.NumColors].Index, 0x5A) << "entries past the table are the application's";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, DescriptionTest,
    ::testing::Values(DescriptionCase{"bw", 1, false, TWPT_BW, TWPA_RGB},
                      DescriptionCase{"gray_ramp_8", 8, true, TWPT_GRAY, TWPA_GRAY},
                      DescriptionCase{"palette_8", 8, false, TWPT_PALETTE, TWPA_RGB},
                      DescriptionCase{"palette_4", 4, false, TWPT_PALETTE, TWPA_RGB},
                      DescriptionCase{"rgb", 24, false, TWPT_RGB, TWPA_RGB}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Native copy -----------------------------------------------------------------------

TEST(NativeBitmapTest, TheBlockIsTheWholeBitmapAndTheApplicationFreesIt) {
  const CxImage page = IndexedPage(17, 9, 8);
  void* block = CopyBitmapForApplication(page);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::memcmp(block, page.GetDIB(), page.GetSize()), 0);
  std::free(block);
  EXPECT_EQ(CopyBitmapForApplication(CxImage()), nullptr);
}

// ---- File transfer names ---------------------------------------------------------------

TEST(FileTransferNameTest, NamesAreBoundedAndAnswersAreBmp) {
  TW_SETUPFILEXFER setup;
  std::memset(setup.FileName, 'a', sizeof(setup.FileName));  // no terminator at all
  EXPECT_EQ(FileNameOf(setup), std::string(255, 'a'));

  DescribeFileTransfer(std::string(300, 'b'), setup);
  EXPECT_EQ(std::string(setup.FileName), std::string(255, 'b'));
  EXPECT_EQ(setup.Format, TWFF_BMP);
  EXPECT_EQ(setup.VRefNum, 0);
}

TEST(FileTransferNameTest, EnsureFileExistsCreatesOnlyWhatIsMissing) {
  test_support::ScopedEnvironment env;
  const std::filesystem::path existing = env.Root() / "kept.bmp";
  test_support::ScopedEnvironment::WriteFile(existing, "content");
  EXPECT_TRUE(EnsureFileExists(existing.string()));
  EXPECT_EQ(test_support::ScopedEnvironment::ReadFile(existing), "content");

  const std::filesystem::path fresh = env.Root() / "new.bmp";
  EXPECT_TRUE(EnsureFileExists(fresh.string()));
  EXPECT_EQ(std::filesystem::file_size(fresh), 0u);

  EXPECT_FALSE(EnsureFileExists(""));
  EXPECT_FALSE(EnsureFileExists(env.Root().string()));  // a folder
  EXPECT_FALSE(EnsureFileExists((env.Root() / "missing" / "x.bmp").string()));
}

}  // namespace
