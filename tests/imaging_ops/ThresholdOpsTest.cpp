// Optimal threshold of a histogram and the adaptive binarisation.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging_ops/PixelFixtures.h"

using fixtures::MakeGray;
using fixtures::MakeImage;
using fixtures::PixelAt;
using fixtures::Rgb;

namespace {

using Histogram = std::array<uint32_t, 256>;

// An 8-bit gray image whose pixels have exactly the histogram's counts (one row per level run).
CxImage ImageOf(const Histogram& h) {
  std::vector<uint8_t> levels;
  for (uint32_t k = 0; k < 256; ++k) levels.insert(levels.end(), h[k], static_cast<uint8_t>(k));
  const auto width = static_cast<uint32_t>(levels.size());
  return MakeGray(width, 1, [&](uint32_t x, uint32_t) { return levels[x]; });
}

// The four criteria straight from their definitions, one candidate at a time.
int DefinitionThreshold(const Histogram& h, int method) {
  int gmin = 0, gmax = 255;
  while (h[gmin] == 0) ++gmin;
  while (h[gmax] == 0) --gmax;
  if (gmin == gmax) return gmin == 0 ? 0 : gmax - 1;
  double total = 0;
  for (int k = gmin; k <= gmax; ++k) total += h[k];
  std::array<int, 5> best{-1, -1, -1, -1, -1};
  std::array<double, 5> score{0, -1e300, -1e300, -1e300, 1e300};
  for (int t = gmin; t < gmax; ++t) {
    double n[2] = {0, 0}, mean[2] = {0, 0}, var[2] = {0, 0}, entropy[2] = {0, 0};
    for (int k = gmin; k <= gmax; ++k) {
      n[k > t] += h[k];
      mean[k > t] += static_cast<double>(h[k]) * k;
    }
    for (int c = 0; c < 2; ++c) mean[c] /= n[c];
    double below = 0, above = 0;
    for (int k = gmin; k <= gmax; ++k) {
      const int c = k > t;
      var[c] += h[k] * (k - mean[c]) * (k - mean[c]);
      if (h[k] > 0) entropy[c] -= (h[k] / n[c]) * std::log(h[k] / n[c]);
      (k <= t ? below : above) += static_cast<double>(h[k]) * (k - t) * (k - t);
    }
    const double p0 = n[0] / total, p1 = n[1] / total;
    const double otsu = p0 * p1 * (mean[0] - mean[1]) * (mean[0] - mean[1]);
    if (otsu > score[1] * (1 + 1e-12)) score[1] = otsu, best[1] = t;
    if (var[0] > 0 && var[1] > 0) {
      const double s0 = std::sqrt(var[0] / n[0]), s1 = std::sqrt(var[1] / n[1]);
      const double error = p0 * std::log(p0 / s0) + p1 * std::log(p1 / s1);
      if (error > score[2] + 1e-12) score[2] = error, best[2] = t;
    }
    if (entropy[0] + entropy[1] > score[3] + 1e-12) score[3] = entropy[0] + entropy[1], best[3] = t;
    const double difference = std::fabs(below - above) / (below + above);
    if (difference < score[4] - 1e-12) score[4] = difference, best[4] = t;
  }
  int result = 0;
  if (method >= 1 && method <= 4) {
    result = best[method];
  } else {
    int sum = 0, count = 0;
    for (int m = 1; m <= 4; ++m)
      if (best[m] >= 0) sum += best[m], ++count;
    result = count ? sum / count : (gmin + gmax) / 2;
  }
  return result > gmin && result < gmax ? result : (gmin + gmax) / 2;
}

Histogram Bimodal() {
  Histogram h{};
  for (int k = 40; k <= 60; ++k) h[k] = 30 - std::abs(k - 50) * 2;
  for (int k = 180; k <= 220; ++k) h[k] = 50 - std::abs(k - 200) * 2;
  return h;
}

class OptimalThresholdTest : public testing::TestWithParam<int> {};

TEST_P(OptimalThresholdTest, SplitsBetweenThePeaksOfABimodalHistogram) {
  // Maximum entropy favours classes spread over many levels and may cut into the wider lump;
  // every method still splits between the two peaks.
  CxImage image = ImageOf(Bimodal());
  const int32_t t = image.OptimalThreshold(GetParam());
  EXPECT_GT(t, 50);
  EXPECT_LT(t, 200);
}

TEST_P(OptimalThresholdTest, AgreesWithTheCriteriaComputedFromTheirDefinitions) {
  std::mt19937 random(1234);
  for (int round = 0; round < 12; ++round) {
    Histogram h{};
    // Two or three lumps of random width and height, with gaps between them.
    const int lumps = 2 + round % 2;
    for (int l = 0; l < lumps; ++l) {
      const int centre = static_cast<int>(random() % 220) + 18;
      const int spread = static_cast<int>(random() % 15) + 1;
      for (int k = centre - spread; k <= centre + spread; ++k) h[k] += static_cast<uint32_t>(random() % 40);
    }
    SCOPED_TRACE(round);
    CxImage image = ImageOf(h);
    EXPECT_EQ(image.OptimalThreshold(GetParam()), DefinitionThreshold(h, GetParam()));
  }
}

std::string MethodName(const testing::TestParamInfo<int>& info) {
  const char* names[] = {"Mean", "Otsu", "MinimumError", "MaximumEntropy", "PotentialDifference"};
  return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Methods, OptimalThresholdTest, testing::Values(0, 1, 2, 3, 4), MethodName);

TEST(OptimalThreshold, DegenerateHistograms) {
  struct Case {
    std::vector<uint8_t> levels;
    int32_t expected;
  };
  const Case cases[] = {
      {{90, 90, 90}, 89},  // one level g: g - 1
      {{0, 0}, 0},         // level 0 alone
      {{70, 71, 71}, 70},  // no level strictly between: the middle
  };
  for (const Case& c : cases) {
    CxImage image = MakeGray(static_cast<uint32_t>(c.levels.size()), 1, [&](uint32_t x, uint32_t) { return c.levels[x]; });
    for (int method = 0; method <= 4; ++method) EXPECT_EQ(image.OptimalThreshold(method), c.expected) << method;
  }
}

TEST(OptimalThreshold, RectangleAndMaskSelectThePixels) {
  // Left half dark/mid levels, right half mid/light levels.
  CxImage image = MakeGray(20, 10, [](uint32_t x, uint32_t y) {
    return static_cast<uint8_t>(x < 10 ? (y % 2 ? 20 : 100) : (y % 2 ? 150 : 240));
  });
  const ImageRect left{0, 0, 10, 10};
  const int32_t t = image.OptimalThreshold(1, &left);
  EXPECT_GE(t, 20);
  EXPECT_LT(t, 100);

  CxImage mask = MakeGray(20, 10, [](uint32_t x, uint32_t) { return static_cast<uint8_t>(x >= 10 ? 255 : 0); });
  const int32_t masked = image.OptimalThreshold(1, nullptr, &mask);
  EXPECT_GE(masked, 150);
  EXPECT_LT(masked, 240);

  const ImageRect empty{5, 5, 5, 9};
  EXPECT_EQ(image.OptimalThreshold(1, &empty), -1);
}

TEST(OptimalThreshold, RefusesOtherDepthsAndUnusableMasks) {
  CxImage colour = MakeImage(4, 4, 24, [](uint32_t x, uint32_t) { return x; });
  EXPECT_LT(colour.OptimalThreshold(0), 0);
  EXPECT_STREQ(colour.GetLastError(), "OptimalThreshold works only on 8 bit images");

  CxImage gray = MakeGray(4, 4, [](uint32_t x, uint32_t) { return static_cast<uint8_t>(x * 50); });
  const CxImage smaller = MakeGray(3, 4, [](uint32_t, uint32_t) { return 1; });
  const CxImage notGray = MakeImage(4, 4, 8, [](uint32_t, uint32_t) { return 1u; });
  for (const CxImage* mask : {&smaller, &notGray}) {
    gray.SetLastError("");
    EXPECT_LT(gray.OptimalThreshold(0, nullptr, mask), 0);
    EXPECT_STREQ(gray.GetLastError(), "OptimalThreshold invalid ContrastMask");
  }
  EXPECT_LT(CxImage().OptimalThreshold(0), 0);
}

// Dark strokes on paper lit unevenly from left (bright) to right (dim): the strokes on the
// left are lighter than the paper on the right.
int PaperLevel(uint32_t x) { return 235 - static_cast<int>(x) * 100 / 120; }
bool IsStroke(uint32_t x, uint32_t y) { return (y % 12 < 3 && x % 20 < 14) || (x % 17 == 5); }
uint8_t UnevenPage(uint32_t x, uint32_t y) {
  return static_cast<uint8_t>(IsStroke(x, y) ? PaperLevel(x) - 60 : PaperLevel(x));
}

std::vector<uint8_t> PixelBytes(const CxImage& image) {
  std::vector<uint8_t> bytes;
  for (uint32_t row = 0; row < image.GetHeight(); ++row)
    bytes.insert(bytes.end(), image.GetBits(row), image.GetBits(row) + image.GetEffWidth());
  return bytes;
}

TEST(AdaptiveThreshold, SeparatesStrokesFromUnevenPaper) {
  CxImage image = MakeGray(120, 60, UnevenPage);
  image.SetXDPI(300);
  const int32_t global = image.OptimalThreshold(0);
  ASSERT_TRUE(image.AdaptiveThreshold(0, 16, nullptr, 0, 0.0f));
  EXPECT_EQ(image.GetBpp(), 1u);
  EXPECT_EQ(image.GetPaletteColor(0), MakeRgb(0, 0, 0));
  EXPECT_EQ(image.GetPaletteColor(1), MakeRgb(255, 255, 255));
  EXPECT_EQ(image.GetXDPI(), 300);
  uint32_t wrong = 0, wrongGlobally = 0;
  for (uint32_t y = 0; y < 60; ++y) {
    for (uint32_t x = 0; x < 120; ++x) {
      const uint32_t expected = IsStroke(x, y) ? 0u : 1u;
      wrong += PixelAt(image, x, y) != expected;
      wrongGlobally += (UnevenPage(x, y) > global ? 1u : 0u) != expected;
    }
  }
  EXPECT_LT(wrong, 120u * 60 / 100);
  EXPECT_GT(wrongGlobally, 120u * 60 / 10);  // the page really needs local thresholds
}

TEST(AdaptiveThreshold, EqualsTheMapBuiltFromBoxThresholdsResampledAndCompared) {
  const uint32_t width = 75, height = 50, box = 16;
  const float balance = 0.3f;
  const double weight = balance;
  const int32_t bias = 4;
  for (const int method : {0, 1, 2, 3, 4}) {
    SCOPED_TRACE(method);
    CxImage gray = MakeGray(width, height, UnevenPage);
    const int32_t global = gray.OptimalThreshold(method);
    const uint32_t columns = (width + box - 1) / box, rows = (height + box - 1) / box;
    CxImage map = MakeGray(columns, rows, [&](uint32_t bx, uint32_t by) {
      const ImageRect r{static_cast<int32_t>(bx * box), static_cast<int32_t>(by * box),
                        static_cast<int32_t>(std::min((bx + 1) * box, width)),
                        static_cast<int32_t>(std::min((by + 1) * box, height))};
      const int32_t local = gray.OptimalThreshold(method, &r);
      const double level = (1.0 - weight) * local + weight * global + bias;
      return static_cast<uint8_t>(std::clamp(std::floor(level + 0.5), 0.0, 255.0));
    });
    ASSERT_TRUE(map.ResizeTo(static_cast<int32_t>(columns * box), static_cast<int32_t>(rows * box), 0));

    CxImage image = gray;
    ASSERT_TRUE(image.AdaptiveThreshold(method, box, nullptr, bias, balance));
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x)
        ASSERT_EQ(PixelAt(image, x, y), PixelAt(gray, x, y) > PixelAt(map, x, y) ? 1u : 0u) << x << "," << y;

    // A colour page is binarised through its gray levels.
    CxImage colour = MakeImage(width, height, 24, [](uint32_t x, uint32_t y) {
      const uint8_t v = UnevenPage(x, y);
      return Rgb(v, v, v);
    });
    ASSERT_TRUE(colour.AdaptiveThreshold(method, box, nullptr, bias, balance));
    EXPECT_EQ(PixelBytes(colour), PixelBytes(image));
  }
}

TEST(AdaptiveThreshold, ParametersAreBroughtIntoRange) {
  const CxImage page = MakeGray(90, 40, UnevenPage);
  auto binarised = [&](int32_t boxSize, float balance) {
    CxImage image = page;
    EXPECT_TRUE(image.AdaptiveThreshold(0, boxSize, nullptr, 0, balance));
    return PixelBytes(image);
  };
  EXPECT_EQ(binarised(3, 0.5f), binarised(8, 0.5f));
  EXPECT_EQ(binarised(16, 7.0f), binarised(16, 1.0f));
  EXPECT_EQ(binarised(16, -2.0f), binarised(16, 0.0f));
  EXPECT_NE(binarised(16, 0.0f), binarised(16, 1.0f));
}

TEST(AdaptiveThreshold, OneBitImagesAreLeftAsTheyAre) {
  CxImage image = MakeImage(13, 5, 1, [](uint32_t x, uint32_t y) { return (x + y) % 3 == 0 ? 1u : 0u; });
  const std::vector<uint8_t> before = PixelBytes(image);
  EXPECT_TRUE(image.AdaptiveThreshold());
  EXPECT_EQ(image.GetBpp(), 1u);
  EXPECT_EQ(PixelBytes(image), before);
}

TEST(AdaptiveThreshold, FailuresLeaveTheImageUnchanged) {
  CxImage image = MakeGray(40, 30, UnevenPage);
  const std::vector<uint8_t> before = PixelBytes(image);
  const CxImage wrongMask = MakeGray(39, 30, [](uint32_t, uint32_t) { return 255; });
  EXPECT_FALSE(image.AdaptiveThreshold(0, 16, &wrongMask));
  EXPECT_STREQ(image.GetLastError(), "OptimalThreshold invalid ContrastMask");

  // A box whose pixels are all masked out has no threshold.
  const CxImage holeMask = MakeGray(40, 30, [](uint32_t x, uint32_t y) { return static_cast<uint8_t>(x < 16 && y < 16 ? 0 : 255); });
  EXPECT_FALSE(image.AdaptiveThreshold(0, 16, &holeMask));

  image.SetEscape(true);
  EXPECT_FALSE(image.AdaptiveThreshold(0, 16));
  EXPECT_EQ(image.GetBpp(), 8u);
  EXPECT_EQ(PixelBytes(image), before);
  EXPECT_FALSE(CxImage().AdaptiveThreshold());
}

}  // namespace
