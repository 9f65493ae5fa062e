#include "imaging/kernels/PaperKernels.h"

#include <algorithm>

namespace imaging {

void ReplacePaperRow(const uint8_t* src, uint8_t* dst, uint32_t width, const PaperRange& range) {
  for (uint32_t x = 0; x < width; ++x, src += 3, dst += 3) {
    const bool inside = src[0] >= range.low[0] && src[0] <= range.high[0] && src[1] >= range.low[1] &&
                        src[1] <= range.high[1] && src[2] >= range.low[2] && src[2] <= range.high[2];
    const uint8_t* from = inside ? range.replacement.data() : src;
    dst[0] = from[0];
    dst[1] = from[1];
    dst[2] = from[2];
  }
}

void AddIntensities(const uint8_t* row, uint32_t begin, uint32_t end, uint32_t* histogram) {
  for (uint32_t x = begin; x < end; ++x) {
    const uint8_t* p = row + 3 * size_t{x};
    ++histogram[(p[0] + p[1] + p[2]) / 3];
  }
}

void ClassifyRow(const uint8_t* row, uint32_t width, const ColorClassifier& c, ColorCounts& counts) {
  const int32_t grayFactor = 255 - c.grayLimit;
  for (uint32_t x = 0; x < width; ++x, row += 3) {
    const int32_t b = row[0], g = row[1], r = row[2];
    // Pure black and pure white are never examined, and unexamined pixels never count.
    if ((b | g | r) == 0 || (b & g & r) == 255) continue;
    const int32_t a = (b + g + r) / 3;
    if (!c.examined[a]) continue;
    const int32_t lowest = std::min({b, g, r});
    // Colourfulness 255 - lowest * 255 / a at or below the gray limit, in integers.
    const bool grayish = 255 * lowest >= grayFactor * a;
    if (!grayish) {
      const int32_t black = 30 * b * b + 59 * g * g + 30 * r * r;
      const int32_t white = 30 * (b - 255) * (b - 255) + 59 * (g - 255) * (g - 255) + 30 * (r - 255) * (r - 255);
      if (black > c.blackDistance && white > c.whiteDistance) {
        ++counts.colour;
        continue;
      }
    }
    const bool light = a >= 128;
    if (c.mode == 0 ? light : !light) ++counts.other;
  }
}

}  // namespace imaging
