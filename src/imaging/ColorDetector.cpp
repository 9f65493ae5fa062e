#include "imaging/ColorDetector.h"

#include <algorithm>

#include "imaging/CxImage.h"
#include "imaging/kernels/PaperKernels.h"

using namespace imaging;

namespace {

// Margin intensities: dark below 40, light above 230.
constexpr uint32_t kDarkEnd = 40;
constexpr uint32_t kLightStart = 231;

int MarginMode(const std::array<uint32_t, 256>& histogram) {
  uint64_t dark = 0, mid = 0, light = 0;
  for (uint32_t i = 0; i < 256; ++i) {
    if (i < kDarkEnd) {
      dark += histogram[i];
    } else if (i < kLightStart) {
      mid += histogram[i];
    } else {
      light += histogram[i];
    }
  }
  if (mid > std::max(dark, light)) return 1;
  return light > dark ? 2 : 0;
}

}  // namespace

int ColorDetector::ThresholdOf(const std::array<uint32_t, 256>& histogram) {
  double total = 0;
  for (const uint32_t count : histogram) total += count;
  if (total == 0) return 0;
  std::array<double, 256> p{};
  for (size_t k = 0; k < 256; ++k) p[k] = histogram[k] / total;

  double best = 1e8;
  int result = 0;
  for (int t = 1; t <= 254; ++t) {
    double w0 = 0, w1 = 0, sum0 = 0, sum1 = 0;
    for (int k = 0; k <= t; ++k) {
      w0 += p[k];
      sum0 += k * p[k];
    }
    for (int k = t + 1; k < 256; ++k) {
      w1 += p[k];
      sum1 += k * p[k];
    }
    const double m0 = w0 > 0 ? sum0 / w0 : t;
    const double m1 = w1 > 0 ? sum1 / w1 : t;
    double s0 = 0, s1 = 0;
    for (int k = 0; k <= t; ++k) s0 += (k - m0) * (k - m0) * p[k];
    for (int k = t + 1; k < 256; ++k) s1 += (k - m1) * (k - m1) * p[k];
    const double d = w0 * s0 + w1 * s1;
    if (d < best) {
      best = d;
      result = t;
    }
  }
  return result;
}

std::optional<ColorDetector::Measure> ColorDetector::Detect(const CxImage& image) {
  if (!image.IsValid() || image.GetBpp() != 24) return std::nullopt;
  const uint32_t width = image.GetWidth();
  const uint32_t height = image.GetHeight();

  // A page narrower than 20 pixels has no margins: it counts as dark paper.
  const uint32_t margin = width / 20;
  IntensityHistogram margins;
  if (margin > 0) {
    for (uint32_t y = 0; y < height; ++y) {
      margins.AddRow(image.GetBits(y), 0, margin);
      margins.AddRow(image.GetBits(y), width - margin, width);
    }
  }
  mode_ = MarginMode(margins.Total());

  threshold_ = 0;
  if (mode_ != 2) {
    IntensityHistogram page;
    for (uint32_t y = 0; y < height; ++y) page.AddRow(image.GetBits(y), 0, width);
    threshold_ = ThresholdOf(page.Total());
  }

  ColorClassifier classifier;
  classifier.grayLimit = grayLimit_;
  classifier.blackDistance = blackDistance_;
  classifier.whiteDistance = whiteDistance_;
  classifier.mode = mode_;
  // Examined: every intensity when t = 0; above t on dark paper, below t on mid-tone paper.
  // (Light paper always has t = 0; t itself lies within 1 .. 254.)
  if (threshold_ != 0 && mode_ == 0) classifier.examinedLow = static_cast<uint8_t>(threshold_ + 1);
  if (threshold_ != 0 && mode_ == 1) classifier.examinedHigh = static_cast<uint8_t>(threshold_ - 1);
  ColorCounts counts;
  for (uint32_t y = 0; y < height; ++y) ClassifyRow(image.GetBits(y), width, classifier, counts);

  Measure measure;
  if (counts.colour == 0) return measure;
  // 64-bit products: a large page has more than 2^31 / 100 colour pixels.
  measure.amount = static_cast<int>(counts.colour * 100 / (uint64_t{width} * height));
  measure.ratio = static_cast<int>(counts.colour * 100 / (counts.colour + counts.other));
  return measure;
}
