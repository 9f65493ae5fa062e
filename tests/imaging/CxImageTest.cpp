#include "imaging/CxImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "imaging/ImageFixtures.h"
#include "imaging/ImageLimits.h"
#include "platform/PixelMemory.h"

namespace {

struct DepthCase {
  uint32_t requested;
  uint32_t stored;
  uint32_t paletteEntries;
};

class CreateDepthTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(CreateDepthTest, NormalisesDepthAndLaysOutOneBlock) {
  const DepthCase c = GetParam();
  CxImage image;
  ASSERT_TRUE(image.Create(13, 5, c.requested));
  EXPECT_EQ(image.GetBpp(), c.stored);
  EXPECT_EQ(image.GetNumColors(), c.paletteEntries);
  const uint32_t stride = ((13 * c.stored + 31) >> 5) * 4;
  EXPECT_EQ(image.GetEffWidth(), stride);
  EXPECT_EQ(image.GetSize(), 40 + 4 * c.paletteEntries + stride * 5);
  // The header in front of the block describes exactly this image.
  const BitmapInfoHeader header = ReadInfoHeader(image.GetDIB());
  EXPECT_EQ(header.size, 40u);
  EXPECT_EQ(header.width, 13);
  EXPECT_EQ(header.height, 5);
  EXPECT_EQ(header.planes, 1);
  EXPECT_EQ(header.bitCount, c.stored);
  EXPECT_EQ(header.compression, 0u);
  EXPECT_EQ(header.sizeImage, stride * 5);
  EXPECT_EQ(header.clrUsed, c.paletteEntries);
  EXPECT_EQ(image.GetPalette() == nullptr, c.paletteEntries == 0);
  for (uint32_t i = 0; i < c.paletteEntries; ++i) EXPECT_EQ(image.GetPaletteColor(i), RgbQuad{});
  EXPECT_EQ(image.GetBits(0), image.GetDIB() + 40 + 4 * c.paletteEntries);
  EXPECT_EQ(image.GetBits(4), image.GetBits(0) + 4 * stride);
  EXPECT_EQ(image.GetBits(5), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Depths, CreateDepthTest,
                         ::testing::Values(DepthCase{0, 1, 2}, DepthCase{1, 1, 2}, DepthCase{2, 4, 16},
                                           DepthCase{4, 4, 16}, DepthCase{5, 8, 256}, DepthCase{8, 8, 256},
                                           DepthCase{9, 24, 0}, DepthCase{16, 24, 0}, DepthCase{24, 24, 0},
                                           DepthCase{32, 24, 0}),
                         [](const auto& info) { return "Bpp" + std::to_string(info.param.requested); });

struct RejectCase {
  const char* name;
  uint32_t width;
  uint32_t height;
  uint32_t bpp;
  const char* error;
};

class CreateRejectTest : public ::testing::TestWithParam<RejectCase> {};

TEST_P(CreateRejectTest, FailsWithItsTextAndLeavesTheImageEmpty) {
  const RejectCase c = GetParam();
  CxImage image;
  ASSERT_TRUE(image.Create(4, 4, 8));
  EXPECT_FALSE(image.Create(c.width, c.height, c.bpp));
  EXPECT_STREQ(image.GetLastError(), c.error);
  EXPECT_FALSE(image.IsValid());
  EXPECT_EQ(image.GetWidth(), 0u);
  EXPECT_EQ(image.GetSize(), 0u);
  EXPECT_EQ(image.GetBits(0), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, CreateRejectTest,
    ::testing::Values(RejectCase{"ZeroWidth", 0, 10, 8, "CxImage::Create : width and height must be greater than zero"},
                      RejectCase{"ZeroHeight", 10, 0, 24, "CxImage::Create : width and height must be greater than zero"},
                      // 2^31 bits plus one more row of 8 pixels.
                      RejectCase{"OverLimit", 65536, 32769, 1, "CXIMAGE_MAX_MEMORY exceeded"},
                      RejectCase{"OverLimit24", 20000, 20000, 24, "CXIMAGE_MAX_MEMORY exceeded"},
                      // The product wraps to a small number in 32 bits; it must still fail.
                      RejectCase{"ProductWraps", 65536, 65536, 24, "CXIMAGE_MAX_MEMORY exceeded"},
                      RejectCase{"Huge", 0xFFFFFFFF, 0xFFFFFFFF, 24, "CXIMAGE_MAX_MEMORY exceeded"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImageLimitTest, AcceptsExactlyTheLimitAndRoundsPartialBytesDown) {
  EXPECT_TRUE(imaging::WithinImageLimit(65536, 32768, 1));   // exactly 2^31 bits
  EXPECT_FALSE(imaging::WithinImageLimit(65536, 32769, 1));
  EXPECT_TRUE(imaging::WithinImageLimit(1, 2147483655u, 1));  // 2^31 + 7 bits: whole bytes are 2^31
  EXPECT_FALSE(imaging::WithinImageLimit(1, 2147483656u, 1));
  EXPECT_FALSE(imaging::WithinImageLimit(UINT64_MAX, 2, 1));
}

TEST(CxImageResolutionTest, NonPositiveStores96AndHeaderFollows) {
  CxImage image;
  ASSERT_TRUE(image.Create(2, 2, 24));
  image.SetXDPI(0);
  image.SetYDPI(-5);
  EXPECT_EQ(image.GetXDPI(), 96);
  EXPECT_EQ(image.GetYDPI(), 96);
  EXPECT_EQ(ReadInfoHeader(image.GetDIB()).xPelsPerMeter, 3780);
  EXPECT_EQ(ReadInfoHeader(image.GetDIB()).yPelsPerMeter, 3780);
  image.SetXDPI(300);
  image.SetYDPI(200);
  EXPECT_EQ(ReadInfoHeader(image.GetDIB()).xPelsPerMeter, 11811);
  EXPECT_EQ(ReadInfoHeader(image.GetDIB()).yPelsPerMeter, 7874);
  // A new block keeps the resolution the object holds.
  ASSERT_TRUE(image.Create(3, 3, 8));
  EXPECT_EQ(ReadInfoHeader(image.GetDIB()).xPelsPerMeter, 11811);
  // What a file may claim: the metric value saturates instead of overflowing.
  image.SetXDPI(INT32_MAX);
  EXPECT_EQ(image.GetXDPI(), INT32_MAX);
  EXPECT_EQ(ReadInfoHeader(image.GetDIB()).xPelsPerMeter, INT32_MAX);
}

TEST(CxImagePaletteTest, OutOfRangeReadsZeroAndWritesNothing) {
  CxImage image;
  ASSERT_TRUE(image.Create(2, 2, 1));
  image.SetPaletteColor(1, MakeRgb(1, 2, 3));
  image.SetPaletteColor(2, MakeRgb(9, 9, 9));
  EXPECT_EQ(image.GetPaletteColor(1), MakeRgb(1, 2, 3));
  EXPECT_EQ(image.GetPaletteColor(2), RgbQuad{});
  CxImage color;
  ASSERT_TRUE(color.Create(2, 2, 24));
  color.SetPaletteColor(0, MakeRgb(1, 2, 3));
  EXPECT_EQ(color.GetPaletteColor(0), RgbQuad{});
  EXPECT_EQ(color.GetPalette(), nullptr);
}

TEST(CxImagePaletteTest, GrayAndStandardPalettes) {
  CxImage image;
  ASSERT_TRUE(image.Create(2, 2, 4));
  image.SetGrayPalette();
  EXPECT_EQ(image.GetPaletteColor(0), MakeRgb(0, 0, 0));
  EXPECT_EQ(image.GetPaletteColor(1), MakeRgb(17, 17, 17));
  EXPECT_EQ(image.GetPaletteColor(15), MakeRgb(255, 255, 255));
  image.SetStdPalette();
  EXPECT_EQ(image.GetPaletteColor(1), MakeRgb(128, 0, 0));
  EXPECT_EQ(image.GetPaletteColor(7), MakeRgb(192, 192, 192));
  EXPECT_EQ(image.GetPaletteColor(8), MakeRgb(128, 128, 128));

  const auto eight = CxImage::StandardPalette(8);
  ASSERT_EQ(eight.size(), 256u);
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(eight[i], CxImage::StandardPalette(4)[i]) << i;
  EXPECT_EQ(eight[8], MakeRgb(192, 220, 192));
  EXPECT_EQ(eight[9], MakeRgb(166, 202, 240));
  EXPECT_EQ(eight[255], MakeRgb(255, 255, 255));
  ASSERT_EQ(CxImage::StandardPalette(1).size(), 2u);
  EXPECT_EQ(CxImage::StandardPalette(1)[1], MakeRgb(255, 255, 255));
}

// Page-sized blocks are recycled: what a new image may find in its block is the previous page.
TEST(CxImageRecycleTest, RecycledPageComesBackCleared) {
  if (!platform::PixelMemoryRecyclesPages()) GTEST_SKIP() << "every block comes from the heap in this build";
  constexpr uint32_t kWidth = 1001;  // 3003 bytes of pixels, 1 of padding per 24-bit row
  constexpr uint32_t kHeight = 3000;
  for (const uint32_t bpp : {24u, 8u}) {
    SCOPED_TRACE(bpp);
    platform::ReleaseSparePixelMemory();
    {
      CxImage previous;
      ASSERT_TRUE(previous.Create(kWidth, kHeight, bpp));
      std::memset(previous.GetDIB() + 40, 0xAB, previous.GetSize() - 40);
    }
    ASSERT_GT(platform::SparePixelMemoryBytes(), 0u) << "the page just dropped is kept";
    CxImage cleared;
    ASSERT_TRUE(cleared.Create(kWidth, kHeight, bpp));
    EXPECT_TRUE(std::all_of(cleared.GetDIB() + 40, cleared.GetDIB() + cleared.GetSize(), [](uint8_t b) { return b == 0; }));
    std::memset(cleared.GetDIB() + 40, 0xAB, cleared.GetSize() - 40);
    cleared.Destroy();
    ASSERT_GT(platform::SparePixelMemoryBytes(), 0u);

    // For overwriting: header, palette and row padding are clean, the pixels are the caller's.
    CxImage overwritten;
    ASSERT_TRUE(overwritten.CreateForOverwrite(kWidth, kHeight, bpp));
    const BitmapInfoHeader header = ReadInfoHeader(overwritten.GetDIB());
    EXPECT_EQ(header.width, static_cast<int32_t>(kWidth));
    EXPECT_EQ(header.bitCount, bpp);
    EXPECT_EQ(overwritten.GetPaletteColor(255), RgbQuad{});
    const uint32_t used = kWidth * bpp / 8;
    for (uint32_t row = 0; row < kHeight; ++row) {
      const uint8_t* bits = overwritten.GetBits(row);
      ASSERT_TRUE(std::all_of(bits + used, bits + overwritten.GetEffWidth(), [](uint8_t b) { return b == 0; }))
          << "padding of row " << row;
    }
  }
}

TEST(CxImageCopyTest, CopyIsDeepAndMoveEmptiesTheSource) {
  CxImage original = fixtures::MakePaletteImage(9, 7, 8);
  original.SetXDPI(150);
  original.SetNumFrames(3);
  original.SetFrame(2);
  original.SetType(ImageFormat::Gif);
  CxImage copy(original);
  ASSERT_TRUE(copy.IsValid());
  EXPECT_NE(copy.GetDIB(), original.GetDIB());
  ASSERT_EQ(copy.GetSize(), original.GetSize());
  EXPECT_EQ(0, std::memcmp(copy.GetDIB(), original.GetDIB(), copy.GetSize()));
  EXPECT_EQ(copy.GetXDPI(), 150);
  EXPECT_EQ(copy.GetNumFrames(), 3);
  EXPECT_EQ(copy.GetFrame(), 2);
  EXPECT_EQ(copy.GetType(), ImageFormat::Gif);
  copy.GetBits(0)[0] ^= 0xFF;
  EXPECT_NE(copy.GetBits(0)[0], original.GetBits(0)[0]);

  const uint8_t* block = original.GetDIB();
  CxImage moved(std::move(original));
  EXPECT_EQ(moved.GetDIB(), block);
  EXPECT_FALSE(original.IsValid());  // NOLINT(bugprone-use-after-move): moved-from state is defined
  CxImage assigned;
  assigned = copy;
  EXPECT_TRUE(fixtures::SameColors(copy, assigned));
}

TEST(CxImageCopyTest, SwapExchangesEverything) {
  CxImage a = fixtures::MakeGrayImage(4, 4);
  CxImage b = fixtures::MakeColorImage(6, 2);
  a.SetLastError("a failed");
  b.SetXDPI(200);
  const uint8_t* blockA = a.GetDIB();
  a.SwapWith(b);
  EXPECT_EQ(a.GetWidth(), 6u);
  EXPECT_EQ(a.GetBpp(), 24u);
  EXPECT_EQ(a.GetXDPI(), 200);
  EXPECT_EQ(b.GetDIB(), blockA);
  EXPECT_STREQ(b.GetLastError(), "a failed");
}

TEST(CxImageErrorTest, LastErrorKeeps255Characters) {
  CxImage image;
  const std::string longText(400, 'x');
  image.SetLastError(longText.c_str());
  EXPECT_EQ(std::string(image.GetLastError()), longText.substr(0, 255));
}

TEST(CxImageErrorTest, OperationsOnAnEmptyImageFailSilently) {
  CxImage image;
  std::vector<uint8_t> out;
  EXPECT_FALSE(image.Encode(out, ImageFormat::Bmp));
  EXPECT_STREQ(image.GetLastError(), "");
  EXPECT_EQ(image.GetBits(0), nullptr);
  EXPECT_EQ(image.GetDIB(), nullptr);
}

}  // namespace
