#pragma once

// Drawing the synthetic pages the benchmarks measure. The pages must be identical on every run
// and every machine, hence a fixed generator rather than the standard library's engines.

#include <algorithm>
#include <cstdint>

#include "imaging/CxImage.h"

namespace bench {

class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<uint32_t>(high - low + 1)); }

 private:
  uint32_t state_;
};

// Fills a rectangle of a 24-bit page (rows counted from the top, right and bottom exclusive),
// clipped to the page.
inline void FillRect(CxImage& page, int left, int top, int right, int bottom, RgbQuad color) {
  const int width = static_cast<int>(page.GetWidth());
  const int height = static_cast<int>(page.GetHeight());
  for (int y = std::max(top, 0); y < std::min(bottom, height); ++y) {
    uint8_t* row = page.GetBits(static_cast<uint32_t>(height - 1 - y));
    for (int x = std::max(left, 0); x < std::min(right, width); ++x) {
      row[3 * x] = color.blue;
      row[3 * x + 1] = color.green;
      row[3 * x + 2] = color.red;
    }
  }
}

}  // namespace bench
