// Paper colour found from the margins, evened out or dropped.
#include <gtest/gtest.h>

#include "imaging/BackgroundFilter.h"
#include "imaging/CxImage.h"
#include "imaging_ops/PixelFixtures.h"

using fixtures::MakeImage;
using fixtures::PixelAt;
using fixtures::Rgb;

namespace {

constexpr uint32_t kText = Rgb(0, 0, 0);

// Text only in the middle columns, away from the 5 % margins.
bool IsText(uint32_t x, uint32_t y, uint32_t width) {
  return x > width / 4 && x < width * 3 / 4 && (y % 7 == 2 || x % 9 == 0);
}

TEST(BackgroundFilter, DropsAUniformPaperColourAndKeepsTheText) {
  const CxImage page = MakeImage(100, 40, 24, [](uint32_t x, uint32_t y) { return IsText(x, y, 100) ? kText : Rgb(200, 200, 200); });
  BackgroundFilter filter(2);
  const auto result = filter.Apply(page);
  ASSERT_TRUE(result.has_value());
  // Margins: 2 x 5 columns x 40 rows = 400 pixels at 200; limit 2, so the range is bounded by
  // the first empty bins below and above (198, 202), then widened by 2/20 of the room left.
  for (const auto channel : {BackgroundFilter::kBlue, BackgroundFilter::kGreen, BackgroundFilter::kRed}) {
    EXPECT_EQ(filter.Range(channel).peak, 200);
    EXPECT_EQ(filter.Range(channel).low, 198 - 198 * 2 / 20);
    EXPECT_EQ(filter.Range(channel).high, 202 + 53 * 2 / 20);
  }
  for (uint32_t y = 0; y < 40; ++y)
    for (uint32_t x = 0; x < 100; ++x)
      ASSERT_EQ(PixelAt(*result, x, y), IsText(x, y, 100) ? kText : Rgb(255, 255, 255)) << x << "," << y;
  EXPECT_EQ(PixelAt(page, 0, 0), Rgb(200, 200, 200));  // the input stays as it was
}

TEST(BackgroundFilter, EvensOutUnevenPaperToThePeakColour) {
  // Each channel wanders over 11 levels around its own paper level.
  auto paper = [](uint32_t x, uint32_t y) {
    return Rgb(static_cast<uint8_t>(195 + (x + y) % 11), static_cast<uint8_t>(215 + (x * 3 + y) % 11),
               static_cast<uint8_t>(175 + (x + 2 * y) % 11));
  };
  const CxImage page = MakeImage(100, 400, 24, [&](uint32_t x, uint32_t y) { return IsText(x, y, 100) ? Rgb(30, 30, 30) : paper(x, y); });
  BackgroundFilter filter(1);
  const auto result = filter.Apply(page);
  ASSERT_TRUE(result.has_value());
  const uint32_t peak = Rgb(filter.Range(BackgroundFilter::kRed).peak, filter.Range(BackgroundFilter::kGreen).peak,
                            filter.Range(BackgroundFilter::kBlue).peak);
  EXPECT_EQ(filter.Range(BackgroundFilter::kRed).low, 193 - 193 / 20);
  EXPECT_EQ(filter.Range(BackgroundFilter::kRed).high, 207 + 48 / 20);
  for (uint32_t y = 0; y < 400; ++y)
    for (uint32_t x = 0; x < 100; ++x)
      ASSERT_EQ(PixelAt(*result, x, y), IsText(x, y, 100) ? Rgb(30, 30, 30) : peak) << x << "," << y;
}

TEST(BackgroundFilter, SmallPagesKeepTheirTextThoughThePeakIsBelow150Pixels) {
  // Margins of 1 column on a 20 x 10 page: a peak of 20 pixels, limit below 1. The range still
  // ends at the first empty levels, so the page does not turn blank.
  const CxImage page = MakeImage(20, 10, 24, [](uint32_t x, uint32_t y) {
    return (x > 5 && x < 15 && y % 3 == 1) ? kText : Rgb(static_cast<uint8_t>(230 + y % 2), 230, 230);
  });
  BackgroundFilter filter(2);
  const auto result = filter.Apply(page);
  ASSERT_TRUE(result.has_value());
  EXPECT_GT(filter.Range(BackgroundFilter::kRed).low, 0);
  EXPECT_LT(filter.Range(BackgroundFilter::kRed).high, 255);
  for (uint32_t y = 0; y < 10; ++y)
    for (uint32_t x = 0; x < 20; ++x)
      ASSERT_EQ(PixelAt(*result, x, y), (x > 5 && x < 15 && y % 3 == 1) ? kText : Rgb(255, 255, 255)) << x << "," << y;
}

TEST(BackgroundFilter, WideRowsTakeEveryPixelIntoAccount) {
  // Pixels just inside and just outside the range, at every position of a wide row.
  const CxImage page = MakeImage(203, 300, 24, [](uint32_t x, uint32_t y) {
    if (x < 11 || x >= 192) return Rgb(100, 150, 200);
    switch ((x + y) % 4) {
      case 0: return Rgb(100, 150, 200);
      case 1: return Rgb(100, 150, 120);  // blue far out of range
      case 2: return Rgb(10, 150, 200);   // red far out of range
      default: return Rgb(101, 150, 200);
    }
  });
  BackgroundFilter filter(1);
  const auto result = filter.Apply(page);
  ASSERT_TRUE(result.has_value());
  for (uint32_t y = 0; y < 300; ++y) {
    for (uint32_t x = 0; x < 203; ++x) {
      const uint32_t before = PixelAt(page, x, y);
      const bool replaced = before == Rgb(100, 150, 200) || before == Rgb(101, 150, 200);
      ASSERT_EQ(PixelAt(*result, x, y), replaced ? Rgb(100, 150, 200) : before) << x << "," << y;
    }
  }
}

TEST(BackgroundFilter, OnlyColourPagesAndKnownModes) {
  const CxImage gray = MakeImage(30, 30, 8, [](uint32_t, uint32_t) { return 7u; });
  const CxImage colour = MakeImage(30, 30, 24, [](uint32_t, uint32_t) { return Rgb(9, 9, 9); });
  EXPECT_FALSE(BackgroundFilter(2).Apply(gray).has_value());
  EXPECT_FALSE(BackgroundFilter(2).Apply(CxImage()).has_value());
  EXPECT_FALSE(BackgroundFilter(0).Apply(colour).has_value());
  EXPECT_FALSE(BackgroundFilter(3).Apply(colour).has_value());
}

}  // namespace
