// Colour content of pages on light, mid-tone and dark paper.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/ColorDetector.h"
#include "imaging/CxImage.h"
#include "imaging_ops/PixelFixtures.h"

using fixtures::MakeImage;
using fixtures::Rgb;

namespace {

TEST(ColorDetector, BlackTextOnWhitePaperHasNoColour) {
  const CxImage page = MakeImage(200, 50, 24, [](uint32_t x, uint32_t y) {
    return (x > 30 && x < 170 && y % 5 == 0) ? Rgb(20, 20, 25) : Rgb(252, 252, 250);
  });
  ColorDetector detector;
  const auto measure = detector.Detect(page);
  ASSERT_TRUE(measure.has_value());
  EXPECT_EQ(detector.Mode(), 2);
  EXPECT_EQ(detector.Threshold(), 0);
  EXPECT_EQ(measure->ratio, 0);
  EXPECT_EQ(measure->amount, 0);
}

TEST(ColorDetector, ColourOnWhitePaperIsSetAgainstTheDarkContent) {
  // 200 x 50 page: 1000 red pixels, 1000 dark text pixels, pure black pixels that never count.
  const CxImage page = MakeImage(200, 50, 24, [](uint32_t x, uint32_t) {
    if (x >= 40 && x < 60) return Rgb(200, 30, 30);
    if (x >= 80 && x < 100) return Rgb(40, 40, 40);
    if (x >= 120 && x < 140) return Rgb(0, 0, 0);
    return Rgb(250, 250, 250);
  });
  ColorDetector detector;
  const auto measure = detector.Detect(page);
  ASSERT_TRUE(measure.has_value());
  EXPECT_EQ(detector.Mode(), 2);
  EXPECT_EQ(measure->ratio, 50);
  EXPECT_EQ(measure->amount, 10);
}

TEST(ColorDetector, MidToneMarginsExamineOnlyPixelsDarkerThanTheThreshold) {
  // Mid-gray paper (150). The dark class holds text (30), a red patch (intensity 80) and gray
  // marks (100), so the threshold is 100: text and red are examined, the marks are not, and
  // neither is a light orange patch (intensity 163) that is just as colourful.
  const uint32_t width = 200, height = 60;
  const CxImage page = MakeImage(width, height, 24, [](uint32_t x, uint32_t y) {
    if (x >= 40 && x < 50) return Rgb(200, 20, 20);
    if (x >= 60 && x < 90 && y % 2 == 0) return Rgb(30, 30, 30);
    if (x >= 95 && x < 100) return Rgb(100, 100, 100);
    if (x >= 120 && x < 140) return Rgb(250, 180, 60);
    return Rgb(150, 150, 150);
  });
  ColorDetector detector;
  const auto measure = detector.Detect(page);
  ASSERT_TRUE(measure.has_value());
  EXPECT_EQ(detector.Mode(), 1);
  EXPECT_EQ(detector.Threshold(), 100);
  const int red = 10 * height, text = 30 * height / 2;
  EXPECT_EQ(measure->ratio, red * 100 / (red + text));
  EXPECT_EQ(measure->amount, red * 100 / static_cast<int>(width * height));
}

TEST(ColorDetector, PagesNarrowerThan20PixelsCountAsDarkPaper) {
  // No margins: mode 0, so light pixels are the content and the threshold comes from the page.
  const CxImage page = MakeImage(19, 40, 24, [](uint32_t x, uint32_t y) {
    if (x < 4) return Rgb(60, 255, 60);
    if (x >= 10 && x < 14 && y % 2 == 0) return Rgb(220, 220, 220);
    return Rgb(20, 20, 20);
  });
  ColorDetector detector;
  const auto measure = detector.Detect(page);
  ASSERT_TRUE(measure.has_value());
  EXPECT_EQ(detector.Mode(), 0);
  EXPECT_EQ(detector.Threshold(), 20);
  const int green = 4 * 40, text = 4 * 20;
  EXPECT_EQ(measure->ratio, green * 100 / (green + text));
  EXPECT_EQ(measure->amount, green * 100 / (19 * 40));
}

TEST(ColorDetector, GrayishAndNearWhiteOrBlackPixelsAreNotColour) {
  const uint32_t colours[] = {
      Rgb(200, 195, 190),  // colourfulness at or below the gray limit
      Rgb(255, 250, 235),  // colourful, but too close to white
      Rgb(90, 10, 10),     // colourful, but too close to black
  };
  for (const uint32_t colour : colours) {
    const CxImage page = MakeImage(100, 20, 24, [&](uint32_t x, uint32_t) { return x >= 30 && x < 70 ? colour : Rgb(255, 255, 255); });
    ColorDetector detector;
    const auto measure = detector.Detect(page);
    ASSERT_TRUE(measure.has_value());
    EXPECT_EQ(measure->amount, 0) << std::hex << colour;
  }
}

TEST(ColorDetector, LargeColourPagesDoNotOverflowThePercentages) {
  // White margins and 22.5 million red pixels: 100 times that does not fit 32 bits.
  const uint32_t width = 5000, height = 5000, margin = 250;
  CxImage page;
  ASSERT_TRUE(page.Create(width, height, 24));
  std::vector<uint8_t> row(size_t{width} * 3, 255);
  for (size_t x = margin; x < width - margin; ++x) row[3 * x] = 30, row[3 * x + 1] = 30, row[3 * x + 2] = 220;
  for (uint32_t y = 0; y < height; ++y) std::memcpy(page.GetBits(y), row.data(), row.size());
  ColorDetector detector;
  const auto measure = detector.Detect(page);
  ASSERT_TRUE(measure.has_value());
  EXPECT_EQ(detector.Mode(), 2);
  EXPECT_EQ(measure->amount, 90);
  EXPECT_EQ(measure->ratio, 100);
}

TEST(ColorDetector, OnlyColourPagesAreMeasured) {
  const CxImage gray = MakeImage(30, 30, 8, [](uint32_t, uint32_t) { return 7u; });
  EXPECT_FALSE(ColorDetector().Detect(gray).has_value());
  EXPECT_FALSE(ColorDetector().Detect(CxImage()).has_value());
}

TEST(ColorDetector, ThresholdSplitsAHistogramWhereTheClassesAreTightest) {
  std::array<uint32_t, 256> histogram{};
  histogram[30] = 100;
  histogram[31] = 50;
  histogram[200] = 80;
  histogram[210] = 80;
  // Every split between 31 and 199 gives the same classes: the first one wins.
  EXPECT_EQ(ColorDetector::ThresholdOf(histogram), 31);
  EXPECT_EQ(ColorDetector::ThresholdOf({}), 0);
}

}  // namespace
