// Gray conversion, depth changes and inversion.
#include <gtest/gtest.h>

#include <string>

#include "imaging/CxImage.h"
#include "imaging_ops/PixelFixtures.h"

using fixtures::MakeImage;
using fixtures::PixelAt;
using fixtures::Rgb;
using fixtures::SetPixel;

namespace {

TEST(ToGray, ColourPixelsTakeWeightedLevelsOnAGrayRamp) {
  const uint32_t colours[] = {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255), Rgb(255, 255, 255), Rgb(10, 20, 30)};
  CxImage image = MakeImage(5, 1, 24, [&](uint32_t x, uint32_t) { return colours[x]; });
  image.SetXDPI(300);
  ASSERT_TRUE(image.ToGray());
  EXPECT_EQ(image.GetBpp(), 8u);
  EXPECT_TRUE(image.IsGrayRamp());
  EXPECT_EQ(image.GetXDPI(), 300);
  EXPECT_EQ(PixelAt(image, 0, 0), 76u);  // pure red
  EXPECT_EQ(PixelAt(image, 1, 0), 149u);
  EXPECT_EQ(PixelAt(image, 2, 0), 29u);
  EXPECT_EQ(PixelAt(image, 3, 0), 255u);
  EXPECT_EQ(PixelAt(image, 4, 0), (10u * 306 + 20 * 601 + 30 * 117) >> 10);
}

TEST(ToGray, WideColourRowsMatchThePerPixelFormula) {
  // Wide enough for the vector paths and their tails.
  CxImage image = MakeImage(77, 3, 24, [](uint32_t x, uint32_t y) {
    return Rgb(static_cast<uint8_t>(x * 37 + y), static_cast<uint8_t>(x * 11 + 5 * y), static_cast<uint8_t>(255 - x * 3));
  });
  const CxImage original = image;
  ASSERT_TRUE(image.ToGray());
  for (uint32_t y = 0; y < 3; ++y) {
    for (uint32_t x = 0; x < 77; ++x) {
      const uint32_t c = PixelAt(original, x, y);
      const uint32_t red = c & 0xFF, green = (c >> 8) & 0xFF, blue = c >> 16;
      ASSERT_EQ(PixelAt(image, x, y), (red * 306 + green * 601 + blue * 117) >> 10) << x << "," << y;
    }
  }
}

TEST(ToGray, PaletteImagesBecomeEightBitLevelsOfTheirColours) {
  for (const uint32_t bpp : {1u, 4u, 8u}) {
    SCOPED_TRACE(bpp);
    const uint32_t entries = 1u << bpp;
    CxImage image = MakeImage(9, 2, bpp, [&](uint32_t x, uint32_t y) { return (x + y) % entries; });
    const CxImage original = image;
    ASSERT_TRUE(image.ToGray());
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_TRUE(image.IsGrayRamp());
    for (uint32_t y = 0; y < 2; ++y) {
      for (uint32_t x = 0; x < 9; ++x) {
        const RgbQuad c = original.GetPaletteColor(PixelAt(original, x, y));
        EXPECT_EQ(PixelAt(image, x, y), (c.red * 306u + c.green * 601u + c.blue * 117u) >> 10);
      }
    }
  }
}

TEST(ToGray, EmptyImageFailsWithoutMessage) {
  CxImage image;
  EXPECT_FALSE(image.ToGray());
  EXPECT_STREQ(image.GetLastError(), "");
}

struct GrayRampCase {
  const char* name;
  uint32_t bpp;
  bool grayPalette;  // entry i = (i, i, i) for every entry
  bool expected;
};

class IsGrayRampTest : public testing::TestWithParam<GrayRampCase> {};

TEST_P(IsGrayRampTest, OnlyPalettesWhoseEntriesEqualTheirIndex) {
  const GrayRampCase& c = GetParam();
  CxImage image;
  ASSERT_TRUE(image.Create(4, 4, c.bpp));
  image.SetStdPalette();  // black and white at 1 bit
  if (c.grayPalette) {
    for (uint32_t i = 0; i < image.GetNumColors(); ++i)
      image.SetPaletteColor(i, MakeRgb(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)));
  }
  EXPECT_EQ(image.IsGrayRamp(), c.expected);
}

const GrayRampCase kGrayRampCases[] = {
    {"Colour24", 24, false, false},         {"BlackWhite1", 1, false, false}, {"Ramp1", 1, true, true},
    {"Ramp4", 4, true, true},               {"Ramp8", 8, true, true},         {"Standard8", 8, false, false},
};
INSTANTIATE_TEST_SUITE_P(Palettes, IsGrayRampTest, testing::ValuesIn(kGrayRampCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IsGrayRamp, EmptyImageIsNotGray) { EXPECT_FALSE(CxImage().IsGrayRamp()); }

struct RaiseCase {
  const char* name;
  uint32_t from;
  uint32_t to;
  bool succeeds;
};

class RaiseBppTest : public testing::TestWithParam<RaiseCase> {};

TEST_P(RaiseBppTest, PixelsKeepTheirColours) {
  const RaiseCase& c = GetParam();
  CxImage image = MakeImage(11, 3, c.from, [&](uint32_t x, uint32_t y) { return fixtures::PatternValue(x, y, c.from); });
  const CxImage original = image;
  EXPECT_EQ(image.RaiseBpp(c.to), c.succeeds);
  const uint32_t expectedBpp = c.succeeds ? c.to : c.from;
  ASSERT_EQ(image.GetBpp(), expectedBpp);
  for (uint32_t y = 0; y < 3; ++y) {
    for (uint32_t x = 0; x < 11; ++x) {
      const uint32_t before = PixelAt(original, x, y);
      const uint32_t after = PixelAt(image, x, y);
      if (expectedBpp != 24 || c.from == 24) {
        EXPECT_EQ(after, before);
        EXPECT_EQ(image.GetPaletteColor(after), original.GetPaletteColor(before));
      } else {
        const RgbQuad p = original.GetPaletteColor(before);
        EXPECT_EQ(after, Rgb(p.red, p.green, p.blue));
      }
    }
  }
}

const RaiseCase kRaiseCases[] = {
    {"OneToFour", 1, 4, true},       {"OneToEight", 1, 8, true},     {"FourToEight", 4, 8, true},
    {"OneToColour", 1, 24, true},    {"FourToColour", 4, 24, true},  {"EightToColour", 8, 24, true},
    {"SameDepth", 8, 8, true},       {"Lower", 8, 4, false},         {"TwoBits", 1, 2, false},
    {"SixteenBits", 8, 16, false},
};
INSTANTIATE_TEST_SUITE_P(Depths, RaiseBppTest, testing::ValuesIn(kRaiseCases),
                         [](const auto& info) { return std::string(info.param.name); });

CxImage Uniform24(uint32_t width, uint32_t height, uint32_t colour) {
  return MakeImage(width, height, 24, [&](uint32_t, uint32_t) { return colour; });
}

uint32_t CountValue(const CxImage& image, uint32_t value) {
  uint32_t count = 0;
  for (uint32_t y = 0; y < image.GetHeight(); ++y)
    for (uint32_t x = 0; x < image.GetWidth(); ++x) count += PixelAt(image, x, y) == value;
  return count;
}

TEST(DecreaseBpp, MidGrayIsUniformByNearestColourAndAPatternWithDiffusion) {
  CxImage nearest = Uniform24(33, 17, Rgb(128, 128, 128));
  ASSERT_TRUE(nearest.DecreaseBpp(1, false));
  EXPECT_EQ(nearest.GetBpp(), 1u);
  EXPECT_EQ(nearest.GetPaletteColor(0), MakeRgb(0, 0, 0));
  EXPECT_EQ(nearest.GetPaletteColor(1), MakeRgb(255, 255, 255));
  EXPECT_EQ(CountValue(nearest, 1), 33u * 17);

  CxImage diffused = Uniform24(33, 17, Rgb(128, 128, 128));
  ASSERT_TRUE(diffused.DecreaseBpp(1, true));
  const uint32_t white = CountValue(diffused, 1);
  EXPECT_GT(white, 33u * 17 * 3 / 10);
  EXPECT_LT(white, 33u * 17 * 7 / 10);
}

TEST(DecreaseBpp, NearestColourSplitsGrayBetween127And128) {
  CxImage image = MakeImage(2, 1, 24, [](uint32_t x, uint32_t) { return x ? Rgb(128, 128, 127) : Rgb(128, 127, 127); });
  ASSERT_TRUE(image.DecreaseBpp(1, false));
  EXPECT_EQ(PixelAt(image, 0, 0), 0u);  // sum 382: nearer to black
  EXPECT_EQ(PixelAt(image, 1, 0), 1u);  // sum 383: nearer to white
}

TEST(DecreaseBpp, TwoColourPalettesPickTheNearerEntryAtEveryPosition) {
  // Wide rows with every pixel different, against the standard and two other palettes.
  const RgbQuad redBlue[] = {MakeRgb(220, 10, 0), MakeRgb(0, 30, 200)};
  const RgbQuad darkLight[] = {MakeRgb(40, 60, 80), MakeRgb(200, 190, 170)};
  for (const RgbQuad* palette : {static_cast<const RgbQuad*>(nullptr), redBlue, darkLight}) {
    CxImage image = MakeImage(53, 4, 24, [](uint32_t x, uint32_t y) {
      return Rgb(static_cast<uint8_t>(x * 37 + y * 11), static_cast<uint8_t>(x * 13 + 90 * y), static_cast<uint8_t>(250 - x * 4));
    });
    const CxImage original = image;
    ASSERT_TRUE(image.DecreaseBpp(1, false, palette, palette ? 2 : 0));
    const RgbQuad p0 = image.GetPaletteColor(0), p1 = image.GetPaletteColor(1);
    auto distance = [](uint32_t c, RgbQuad p) {
      const int r = static_cast<int>(c & 0xFF) - p.red, g = static_cast<int>((c >> 8) & 0xFF) - p.green,
                b = static_cast<int>(c >> 16) - p.blue;
      return r * r + g * g + b * b;
    };
    for (uint32_t y = 0; y < 4; ++y) {
      for (uint32_t x = 0; x < 53; ++x) {
        const uint32_t c = PixelAt(original, x, y);
        ASSERT_EQ(PixelAt(image, x, y), distance(c, p1) < distance(c, p0) ? 1u : 0u) << x << "," << y;
      }
    }
  }
}

TEST(DecreaseBpp, DiffusionRunsInStorageOrderFromTheBottomRow) {
  // One column: bottom 120 (black, error +120 carried 4/16 upward), top 110 (+30 = 140: white).
  // Carried the other way, the top would be black and the bottom white.
  CxImage image = MakeImage(1, 2, 24, [](uint32_t, uint32_t y) { return y == 0 ? Rgb(110, 110, 110) : Rgb(120, 120, 120); });
  ASSERT_TRUE(image.DecreaseBpp(1, true));
  EXPECT_EQ(PixelAt(image, 0, 0), 1u);
  EXPECT_EQ(PixelAt(image, 0, 1), 0u);
}

TEST(DecreaseBpp, StandardPalettesHoldTheBasicColours) {
  const uint32_t colours[] = {Rgb(255, 0, 0), Rgb(0, 0, 128), Rgb(192, 192, 192), Rgb(250, 250, 250), Rgb(0, 250, 5)};
  CxImage four = MakeImage(5, 1, 24, [&](uint32_t x, uint32_t) { return colours[x]; });
  CxImage eight = four;
  ASSERT_TRUE(four.DecreaseBpp(4, false));
  EXPECT_EQ(PixelAt(four, 0, 0), 9u);
  EXPECT_EQ(PixelAt(four, 1, 0), 4u);
  EXPECT_EQ(PixelAt(four, 2, 0), 7u);
  EXPECT_EQ(PixelAt(four, 3, 0), 15u);
  EXPECT_EQ(PixelAt(four, 4, 0), 10u);

  ASSERT_TRUE(eight.DecreaseBpp(8, false));
  EXPECT_EQ(eight.GetPaletteColor(8), MakeRgb(192, 220, 192));
  EXPECT_EQ(eight.GetPaletteColor(9), MakeRgb(166, 202, 240));
  EXPECT_EQ(eight.GetPaletteColor(PixelAt(eight, 0, 0)), MakeRgb(255, 0, 0));
  EXPECT_EQ(eight.GetPaletteColor(PixelAt(eight, 2, 0)), MakeRgb(192, 192, 192));
}

TEST(DecreaseBpp, GivenPaletteIsUsedAndRecordedAsImportantColours) {
  const RgbQuad palette[] = {MakeRgb(200, 0, 0), MakeRgb(0, 0, 200), MakeRgb(0, 200, 0)};
  CxImage image = MakeImage(3, 1, 24, [](uint32_t x, uint32_t) {
    return x == 0 ? Rgb(250, 10, 10) : x == 1 ? Rgb(10, 10, 180) : Rgb(30, 190, 30);
  });
  ASSERT_TRUE(image.DecreaseBpp(4, false, palette, 3));
  EXPECT_EQ(PixelAt(image, 0, 0), 0u);
  EXPECT_EQ(PixelAt(image, 1, 0), 1u);
  EXPECT_EQ(PixelAt(image, 2, 0), 2u);
  EXPECT_EQ(image.GetPaletteColor(1), palette[1]);
  EXPECT_EQ(image.GetClrImportant(), 3u);
  // Asking again for more colours than the image already holds changes nothing.
  EXPECT_TRUE(image.DecreaseBpp(4, false, palette, 8));
  EXPECT_EQ(PixelAt(image, 1, 0), 1u);
}

TEST(DecreaseBpp, PaletteSourcesMapThroughTheirColours) {
  CxImage image = MakeImage(6, 2, 4, [](uint32_t x, uint32_t) { return x == 0 ? 0u : x == 1 ? 15u : x + 6; });
  ASSERT_TRUE(image.DecreaseBpp(1, false));
  EXPECT_EQ(PixelAt(image, 0, 0), 0u);  // black
  EXPECT_EQ(PixelAt(image, 1, 0), 1u);  // white
  EXPECT_EQ(PixelAt(image, 2, 0), 1u);  // (128, 128, 128)
  EXPECT_EQ(PixelAt(image, 3, 0), 0u);  // (255, 0, 0)
}

TEST(DecreaseBpp, RefusalsLeaveTheImageAlone) {
  CxImage gray = MakeImage(4, 4, 8, [](uint32_t x, uint32_t) { return x; });
  EXPECT_FALSE(gray.DecreaseBpp(24, false));
  EXPECT_STREQ(gray.GetLastError(), "DecreaseBpp: target BPP greater than source BPP");
  EXPECT_TRUE(gray.DecreaseBpp(8, false));  // same depth, no colour count: nothing to do
  EXPECT_EQ(PixelAt(gray, 3, 0), 3u);
  EXPECT_FALSE(gray.DecreaseBpp(2, false));
  EXPECT_EQ(gray.GetBpp(), 8u);
  EXPECT_FALSE(CxImage().DecreaseBpp(1, false));
}

TEST(DecreaseBpp, EscapeStopsWithTheImageUnchanged) {
  CxImage image = Uniform24(20, 20, Rgb(90, 90, 90));
  image.SetEscape(true);
  EXPECT_FALSE(image.DecreaseBpp(1, true));
  EXPECT_EQ(image.GetBpp(), 24u);
  EXPECT_EQ(PixelAt(image, 19, 19), Rgb(90, 90, 90));
}

TEST(Invert, ColourChannelsAreInverted) {
  CxImage image = MakeImage(3, 1, 24, [](uint32_t x, uint32_t) { return Rgb(static_cast<uint8_t>(x * 100), 7, 255); });
  ASSERT_TRUE(image.Invert());
  EXPECT_EQ(PixelAt(image, 0, 0), Rgb(255, 248, 0));
  EXPECT_EQ(PixelAt(image, 2, 0), Rgb(55, 248, 0));
}

TEST(Invert, GrayImagesInvertTheirLevelsAndKeepTheRamp) {
  CxImage image = fixtures::MakeGray(3, 1, [](uint32_t x, uint32_t) { return static_cast<uint8_t>(x * 100); });
  ASSERT_TRUE(image.Invert());
  EXPECT_TRUE(image.IsGrayRamp());
  EXPECT_EQ(PixelAt(image, 0, 0), 255u);
  EXPECT_EQ(PixelAt(image, 2, 0), 55u);
}

TEST(Invert, OtherPalettesInvertTheirEntriesAndKeepTheIndices) {
  CxImage image = MakeImage(9, 1, 1, [](uint32_t x, uint32_t) { return x % 2; });
  ASSERT_TRUE(image.Invert());
  EXPECT_EQ(image.GetPaletteColor(0), MakeRgb(255, 255, 255));
  EXPECT_EQ(image.GetPaletteColor(1), MakeRgb(0, 0, 0));
  EXPECT_EQ(PixelAt(image, 1, 0), 1u);
  EXPECT_EQ(PixelAt(image, 8, 0), 0u);
}

TEST(Invert, FourBitGrayPalettesInvertTheirEntries) {
  // Entries i = (i, i, i): mirroring indices to 255 - i would not fit 4 bits.
  CxImage image = MakeImage(3, 1, 4, [](uint32_t x, uint32_t) { return x * 5; });
  for (uint32_t i = 0; i < 16; ++i)
    image.SetPaletteColor(i, MakeRgb(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)));
  ASSERT_TRUE(image.Invert());
  EXPECT_EQ(PixelAt(image, 2, 0), 10u);
  EXPECT_EQ(image.GetPaletteColor(10), MakeRgb(245, 245, 245));
}

}  // namespace
