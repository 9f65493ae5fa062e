// Resampling: nearest pixel, bilinear, box average, bicubic.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging_ops/PixelFixtures.h"

using fixtures::MakeGray;
using fixtures::MakeImage;
using fixtures::PatternValue;
using fixtures::PixelAt;
using fixtures::Rgb;

namespace {

struct NearestCase {
  uint32_t bpp;
  uint32_t width, height, outWidth, outHeight;
};

class NearestResizeTest : public testing::TestWithParam<NearestCase> {};

// Destination pixel (x, y) is source pixel (x * w / w', y * h / h'), counted from the top left.
TEST_P(NearestResizeTest, TakesTheSourcePixelAtTheScaledPosition) {
  const NearestCase& c = GetParam();
  CxImage image = MakeImage(c.width, c.height, c.bpp, [&](uint32_t x, uint32_t y) { return PatternValue(x, y, c.bpp); });
  image.SetXDPI(300);
  ASSERT_TRUE(image.ResizeTo(static_cast<int32_t>(c.outWidth), static_cast<int32_t>(c.outHeight), 1));
  ASSERT_EQ(image.GetWidth(), c.outWidth);
  ASSERT_EQ(image.GetHeight(), c.outHeight);
  EXPECT_EQ(image.GetBpp(), c.bpp);
  EXPECT_EQ(image.GetXDPI(), 300);  // the caller decides about the resolution
  for (uint32_t y = 0; y < c.outHeight; ++y)
    for (uint32_t x = 0; x < c.outWidth; ++x)
      ASSERT_EQ(PixelAt(image, x, y), PatternValue(x * c.width / c.outWidth, y * c.height / c.outHeight, c.bpp))
          << x << "," << y;
}

const NearestCase kNearestCases[] = {
    {1, 9, 5, 20, 11}, {1, 33, 7, 13, 3}, {4, 7, 3, 15, 8}, {4, 15, 9, 4, 4},
    {8, 5, 5, 12, 3},  {8, 40, 30, 17, 29}, {24, 3, 2, 10, 7}, {24, 49, 20, 25, 9},
};
INSTANTIATE_TEST_SUITE_P(Depths, NearestResizeTest, testing::ValuesIn(kNearestCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

std::vector<uint32_t> Row(const CxImage& image, uint32_t y) {
  std::vector<uint32_t> values;
  for (uint32_t x = 0; x < image.GetWidth(); ++x) values.push_back(PixelAt(image, x, y));
  return values;
}

TEST(BilinearResize, InterpolatesBetweenNeighboursAndRepeatsTheLastSample) {
  CxImage gray = MakeGray(2, 1, [](uint32_t x, uint32_t) { return static_cast<uint8_t>(x * 200); });
  ASSERT_TRUE(gray.ResizeTo(4, 2, 0));
  EXPECT_EQ(Row(gray, 0), (std::vector<uint32_t>{0, 100, 200, 200}));
  EXPECT_EQ(Row(gray, 1), (std::vector<uint32_t>{0, 100, 200, 200}));

  // Colour images that are not made smaller in both directions interpolate each channel.
  CxImage colour = MakeImage(2, 2, 24, [](uint32_t x, uint32_t) { return x == 0 ? Rgb(0, 40, 80) : Rgb(200, 40, 0); });
  ASSERT_TRUE(colour.ResizeTo(4, 1, 0));
  EXPECT_EQ(PixelAt(colour, 1, 0), Rgb(100, 40, 40));
}

TEST(BilinearResize, PaletteImagesTakeTheNearestEntry) {
  CxImage image = MakeImage(2, 1, 1, [](uint32_t x, uint32_t) { return x; });
  ASSERT_TRUE(image.ResizeTo(8, 1, 0));
  // Levels 0, 64, 128, 191, 255 ...: black below the middle, white from it on.
  EXPECT_EQ(Row(image, 0), (std::vector<uint32_t>{0, 0, 1, 1, 1, 1, 1, 1}));

  CxImage four = MakeImage(2, 1, 4, [](uint32_t x, uint32_t) { return x == 0 ? 0u : 15u; });
  ASSERT_TRUE(four.ResizeTo(4, 1, 0));
  EXPECT_EQ(four.GetPaletteColor(PixelAt(four, 1, 0)), MakeRgb(128, 128, 128));
}

TEST(BoxAverageResize, ColourPagesMadeSmallerAverageTheCoveredArea) {
  // Three columns into two: each destination pixel covers one and a half source pixels.
  CxImage image = MakeImage(3, 3, 24, [](uint32_t x, uint32_t) {
    const auto v = static_cast<uint8_t>(x * 90);
    return Rgb(v, v, static_cast<uint8_t>(255 - v));
  });
  ASSERT_TRUE(image.ResizeTo(2, 2, 0));
  EXPECT_EQ(PixelAt(image, 0, 0), Rgb(30, 30, 225));
  EXPECT_EQ(PixelAt(image, 1, 1), Rgb(150, 150, 105));

  CxImage blocks = MakeImage(4, 4, 24, [](uint32_t x, uint32_t y) { return (x + y) % 2 ? Rgb(200, 0, 0) : Rgb(0, 0, 100); });
  ASSERT_TRUE(blocks.ResizeTo(2, 2, 0));
  EXPECT_EQ(PixelAt(blocks, 1, 0), Rgb(100, 0, 50));
}

TEST(BicubicResize, KeepsFlatAreasFlatAndStepsInRange) {
  CxImage flat = MakeImage(5, 4, 24, [](uint32_t, uint32_t) { return Rgb(17, 130, 250); });
  ASSERT_TRUE(flat.ResizeTo(13, 9, 2));
  for (uint32_t y = 0; y < 9; ++y)
    for (uint32_t x = 0; x < 13; ++x) ASSERT_EQ(PixelAt(flat, x, y), Rgb(17, 130, 250));

  CxImage step = MakeGray(4, 1, [](uint32_t x, uint32_t) { return static_cast<uint8_t>(x < 2 ? 0 : 255); });
  ASSERT_TRUE(step.ResizeTo(8, 1, 2));
  const std::vector<uint32_t> row = Row(step, 0);
  EXPECT_EQ(row.front(), 0u);
  EXPECT_EQ(row.back(), 255u);
  for (size_t i = 1; i < row.size(); ++i) EXPECT_LE(row[i - 1], row[i]);
  EXPECT_GT(row[4], 0u);
  EXPECT_LT(row[4], 255u);
}

TEST(BicubicResize, PaletteImagesGoThroughTheirColours) {
  // Rows are expanded through the palette four at a time; the halves keep their colours.
  CxImage image = MakeImage(9, 12, 4, [](uint32_t, uint32_t y) { return y < 6 ? 9u : 12u; });
  ASSERT_TRUE(image.ResizeTo(5, 31, 2));
  for (uint32_t x = 0; x < 5; ++x) {
    EXPECT_EQ(PixelAt(image, x, 0), 9u);
    EXPECT_EQ(PixelAt(image, x, 30), 12u);
  }
  CxImage shrunk = MakeImage(9, 40, 4, [](uint32_t, uint32_t y) { return y < 20 ? 9u : 12u; });
  ASSERT_TRUE(shrunk.ResizeTo(4, 7, 2));
  EXPECT_EQ(PixelAt(shrunk, 2, 0), 9u);
  EXPECT_EQ(PixelAt(shrunk, 2, 6), 12u);
}

TEST(ResizeTo, SameSizeRefusalsAndEscape) {
  CxImage image = MakeImage(6, 4, 8, [](uint32_t x, uint32_t y) { return x * 10 + y; });
  EXPECT_TRUE(image.ResizeTo(6, 4, 2));
  EXPECT_FALSE(image.ResizeTo(0, 4, 1));
  EXPECT_FALSE(image.ResizeTo(6, -1, 1));
  image.SetEscape(true);
  for (const int mode : {0, 1, 2}) EXPECT_FALSE(image.ResizeTo(12, 8, mode));
  EXPECT_EQ(image.GetWidth(), 6u);
  EXPECT_EQ(PixelAt(image, 5, 3), 53u);
  EXPECT_FALSE(CxImage().ResizeTo(2, 2, 1));
}

TEST(ResizeTo, TooLargeFailsWithTheAllocationMessage) {
  CxImage image = MakeImage(4, 4, 24, [](uint32_t, uint32_t) { return 0u; });
  EXPECT_FALSE(image.ResizeTo(100000, 100000, 1));
  EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
  EXPECT_EQ(image.GetWidth(), 4u);
}

}  // namespace
