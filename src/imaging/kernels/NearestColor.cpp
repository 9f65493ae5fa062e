#include "imaging/kernels/NearestColor.h"

namespace imaging {

NearestColor::NearestColor(const RgbQuad* palette, uint32_t count)
    : palette_(palette, palette + (count == 0 ? 1 : count > 256 ? 256 : count)) {
  if (palette_.size() <= 2) {
    // A single entry behaves as two equal ones: the test never picks the second.
    const RgbQuad& p0 = palette_[0];
    const RgbQuad& p1 = palette_.back();
    twoEntries_ = true;
    delta_ = {p1.blue - p0.blue, p1.green - p0.green, p1.red - p0.red};
    bias_ = (p1.blue * p1.blue + p1.green * p1.green + p1.red * p1.red) -
            (p0.blue * p0.blue + p0.green * p0.green + p0.red * p0.red);
    return;
  }
  cacheKeys_.assign(size_t{1} << kCacheBits, 0);
  cacheValues_.assign(size_t{1} << kCacheBits, 0);
}

uint8_t NearestColor::Search(uint8_t blue, uint8_t green, uint8_t red) const {
  uint32_t best = 0;
  int32_t bestDistance = INT32_MAX;
  for (uint32_t i = 0; i < palette_.size(); ++i) {
    const int32_t db = blue - palette_[i].blue;
    const int32_t dg = green - palette_[i].green;
    const int32_t dr = red - palette_[i].red;
    const int32_t distance = db * db + dg * dg + dr * dr;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return static_cast<uint8_t>(best);
}

}  // namespace imaging
