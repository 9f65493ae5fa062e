#include "imaging/BackgroundFilter.h"

#include <algorithm>

#include "imaging/CxImageOpsSupport.h"
#include "imaging/kernels/PaperKernels.h"

using namespace imaging;

namespace {

// A bin "falls below the limit" once it holds fewer than 1/150 of the peak's count. The limit
// is at least 1, so that an empty bin always bounds the range: with a peak of fewer than 150
// pixels (small or very noisy pages) a limit of 0 would let no bin qualify, stretch the range
// over all 256 levels and replace every pixel of the page, text included.
constexpr uint32_t kLimitDivisor = 150;

BackgroundFilter::ChannelRange RangeOf(const std::array<uint32_t, 256>& counts) {
  BackgroundFilter::ChannelRange range;
  const auto peak = static_cast<uint32_t>(std::max_element(counts.begin(), counts.end()) - counts.begin());
  const uint32_t limit = std::max<uint32_t>(1, counts[peak] / kLimitDivisor);
  range.peak = static_cast<uint8_t>(peak);
  // Walk down (and up) from the peak to the first bin below the limit where the histogram
  // stops falling.
  range.low = 0;
  for (int32_t j = static_cast<int32_t>(peak) - 1; j >= 0; --j) {
    if (counts[j] < limit && counts[j] >= counts[j + 1]) {
      range.low = static_cast<uint8_t>(j);
      break;
    }
  }
  range.high = 255;
  for (uint32_t i = peak + 1; i <= 255; ++i) {
    if (counts[i] < limit && counts[i] >= counts[i - 1]) {
      range.high = static_cast<uint8_t>(i);
      break;
    }
  }
  return range;
}

}  // namespace

BackgroundFilter::BackgroundFilter(int mode) : mode_(mode) {}

void BackgroundFilter::FindRanges(const CxImage& image) {
  const uint32_t width = image.GetWidth();
  const uint32_t margin = std::max<uint32_t>(1, width / 20);
  ChannelHistograms margins;
  for (uint32_t y = 0; y < image.GetHeight(); ++y) {
    const uint8_t* row = image.GetBits(y);
    // Both margins count, even where a narrow page makes them overlap.
    margins.AddRow(row, 0, margin);
    margins.AddRow(row, width - margin, width);
  }
  const std::array<std::array<uint32_t, 256>, 3> counts = margins.Total();
  for (uint32_t c = 0; c < 3; ++c) {
    ChannelRange range = RangeOf(counts[c]);
    // Widen by 1/20 (mode 1) or 2/20 (mode 2) of the room left on each side.
    range.high = static_cast<uint8_t>(range.high + (255 - range.high) * mode_ / 20);
    range.low = static_cast<uint8_t>(range.low - range.low * mode_ / 20);
    ranges_[c] = range;
  }
}

std::optional<CxImage> BackgroundFilter::Apply(const CxImage& image) {
  if (!image.IsValid() || image.GetBpp() != 24 || (mode_ != 1 && mode_ != 2)) return std::nullopt;
  FindRanges(image);

  CxImage result;
  // Every pixel of every row is written below.
  if (!CreateResultLike(image, result, image.GetWidth(), image.GetHeight(), 24, true)) return std::nullopt;
  PaperRange paper;
  for (uint32_t c = 0; c < 3; ++c) {
    paper.low[c] = ranges_[c].low;
    paper.high[c] = ranges_[c].high;
  }
  const RgbQuad replacement =
      mode_ == 1 ? RgbQuad{ranges_[kBlue].peak, ranges_[kGreen].peak, ranges_[kRed].peak, 0} : fillColor_;
  paper.replacement = {replacement.blue, replacement.green, replacement.red};
  for (uint32_t y = 0; y < image.GetHeight(); ++y)
    ReplacePaperRow(image.GetBits(y), result.GetBits(y), image.GetWidth(), paper);
  return result;
}
