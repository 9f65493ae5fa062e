// Mirroring and rotation at every depth; odd widths put pixels into partly used bytes.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "imaging/CxImage.h"
#include "imaging_ops/PixelFixtures.h"

using fixtures::MakeImage;
using fixtures::PatternValue;
using fixtures::PixelAt;
using fixtures::Rgb;

namespace {

struct Shape {
  uint32_t bpp;
  uint32_t width;
  uint32_t height;
};

std::string ShapeName(const testing::TestParamInfo<Shape>& info) {
  return "Bpp" + std::to_string(info.param.bpp) + "_" + std::to_string(info.param.width) + "x" +
         std::to_string(info.param.height);
}

// Widths around the byte and vector boundaries of each depth.
const Shape kShapes[] = {
    {1, 1, 1},   {1, 7, 3},  {1, 9, 5},  {1, 13, 2}, {1, 77, 9},  {1, 83, 45}, {1, 64, 24},   {4, 1, 2},  {4, 3, 3},  {4, 5, 4},
    {4, 17, 7},  {8, 1, 1},  {8, 5, 3},  {8, 33, 4}, {8, 67, 70},  {24, 1, 3}, {24, 5, 2}, {24, 31, 5},
    {24, 33, 4}, {24, 67, 3}, {24, 70, 66},
};

CxImage Pattern(const Shape& s) {
  return MakeImage(s.width, s.height, s.bpp, [&](uint32_t x, uint32_t y) { return PatternValue(x, y, s.bpp); });
}

// The row padding past the last pixel stays zero (some readers do not ignore it).
void ExpectCleanPadding(const CxImage& image) {
  const uint64_t usedBits = uint64_t{image.GetWidth()} * image.GetBpp();
  for (uint32_t row = 0; row < image.GetHeight(); ++row) {
    const uint8_t* bits = image.GetBits(row);
    for (uint64_t bit = usedBits; bit < uint64_t{image.GetEffWidth()} * 8; ++bit)
      ASSERT_EQ((bits[bit / 8] >> (7 - bit % 8)) & 1, 0) << "row " << row << " bit " << bit;
  }
}

class MirrorTest : public testing::TestWithParam<Shape> {};

TEST_P(MirrorTest, ReversesEveryRow) {
  const Shape& s = GetParam();
  CxImage image = Pattern(s);
  ASSERT_TRUE(image.MirrorHorizontally());
  for (uint32_t y = 0; y < s.height; ++y)
    for (uint32_t x = 0; x < s.width; ++x)
      ASSERT_EQ(PixelAt(image, x, y), PatternValue(s.width - 1 - x, y, s.bpp)) << x << "," << y;
  ExpectCleanPadding(image);
}

INSTANTIATE_TEST_SUITE_P(Depths, MirrorTest, testing::ValuesIn(kShapes), ShapeName);

class QuarterTurnTest : public testing::TestWithParam<Shape> {};

// Clockwise: a quarter turn moves the top-left pixel to the top-right corner.
TEST_P(QuarterTurnTest, QuarterTurnsAreExact) {
  const Shape& s = GetParam();
  const uint32_t w = s.width, h = s.height;
  const auto source = [&](uint32_t x, uint32_t y) { return PatternValue(x, y, s.bpp); };
  struct Turn {
    double degrees;
    bool swaps;
    std::function<uint32_t(uint32_t, uint32_t)> expected;  // destination (x, y) -> source value
  };
  const Turn turns[] = {
      {90, true, [&](uint32_t x, uint32_t y) { return source(y, h - 1 - x); }},
      {180, false, [&](uint32_t x, uint32_t y) { return source(w - 1 - x, h - 1 - y); }},
      {270, true, [&](uint32_t x, uint32_t y) { return source(w - 1 - y, x); }},
      {-90, true, [&](uint32_t x, uint32_t y) { return source(w - 1 - y, x); }},
      {450, true, [&](uint32_t x, uint32_t y) { return source(y, h - 1 - x); }},
  };
  for (const Turn& turn : turns) {
    SCOPED_TRACE(turn.degrees);
    CxImage image = Pattern(s);
    image.SetXDPI(200);
    image.SetYDPI(100);
    ASSERT_TRUE(image.RotateBy(turn.degrees));
    ASSERT_EQ(image.GetWidth(), turn.swaps ? h : w);
    ASSERT_EQ(image.GetHeight(), turn.swaps ? w : h);
    EXPECT_EQ(image.GetXDPI(), 200);
    for (uint32_t y = 0; y < image.GetHeight(); ++y)
      for (uint32_t x = 0; x < image.GetWidth(); ++x) ASSERT_EQ(PixelAt(image, x, y), turn.expected(x, y)) << x << "," << y;
    ExpectCleanPadding(image);
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, QuarterTurnTest, testing::ValuesIn(kShapes), ShapeName);

TEST(RotateBy, FullTurnsChangeNothing) {
  CxImage image = MakeImage(5, 3, 24, [](uint32_t x, uint32_t y) { return PatternValue(x, y, 24); });
  ASSERT_TRUE(image.RotateBy(360));
  EXPECT_EQ(image.GetWidth(), 5u);
  EXPECT_EQ(PixelAt(image, 4, 0), PatternValue(4, 0, 24));
}

TEST(RotateBy, FreeAngleTakesTheBoundingBoxAndFillsCornersWithWhite) {
  CxImage image = MakeImage(100, 50, 24, [](uint32_t, uint32_t) { return Rgb(10, 20, 30); });
  ASSERT_TRUE(image.RotateBy(30));
  // 100 cos 30 + 50 sin 30 = 111.6; 100 sin 30 + 50 cos 30 = 93.3
  EXPECT_EQ(image.GetWidth(), 112u);
  EXPECT_EQ(image.GetHeight(), 93u);
  EXPECT_EQ(PixelAt(image, 0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(PixelAt(image, 111, 92), Rgb(255, 255, 255));
  EXPECT_EQ(PixelAt(image, 56, 46), Rgb(10, 20, 30));
}

TEST(RotateBy, FreeAngleTurnsClockwiseLikeTheQuarterTurns) {
  // A mark right of the centre ends up below it, where the exact quarter turn puts it too.
  auto marked = [](uint32_t x, uint32_t y) { return (x >= 36 && x <= 38 && y >= 19 && y <= 21) ? 1u : 0u; };
  CxImage free = MakeImage(41, 41, 8, marked);
  CxImage exact = free;
  ASSERT_TRUE(free.RotateBy(89.5));
  ASSERT_TRUE(exact.RotateBy(90));
  ASSERT_EQ(free.GetWidth(), 41u);
  EXPECT_EQ(PixelAt(exact, 20, 37), 1u);
  EXPECT_EQ(PixelAt(free, 20, 37), 1u);
}

TEST(RotateBy, FreeAngleCornersOfPaletteImagesTakeTheEntryNearestWhite) {
  CxImage image = MakeImage(20, 20, 4, [](uint32_t, uint32_t) { return 1u; });
  image.SetPaletteColor(6, MakeRgb(250, 250, 250));
  image.SetPaletteColor(15, MakeRgb(0, 0, 0));
  ASSERT_TRUE(image.RotateBy(45));
  EXPECT_EQ(PixelAt(image, 0, 0), 6u);
  EXPECT_EQ(PixelAt(image, image.GetWidth() / 2, image.GetHeight() / 2), 1u);
  ExpectCleanPadding(image);
}

TEST(RotateBy, RefusalsAndEscapeLeaveTheImageAlone) {
  EXPECT_FALSE(CxImage().RotateBy(90));
  CxImage image = MakeImage(6, 4, 8, [](uint32_t x, uint32_t y) { return x + y; });
  EXPECT_FALSE(image.RotateBy(std::numeric_limits<double>::quiet_NaN()));
  image.SetEscape(true);
  EXPECT_FALSE(image.RotateBy(90));
  EXPECT_FALSE(image.RotateBy(10));
  EXPECT_EQ(image.GetWidth(), 6u);
  EXPECT_EQ(PixelAt(image, 5, 3), 8u);
}

TEST(RotateBy, ProgressReachesTheLastRows) {
  CxImage image = MakeImage(300, 200, 24, [](uint32_t x, uint32_t y) { return PatternValue(x, y, 24); });
  ASSERT_TRUE(image.RotateBy(90));
  EXPECT_GT(image.GetProgress(), 50u);
}

}  // namespace
