#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Bilinear interpolation in 8-bit fixed point, shared by the bilinear resize and the threshold
// map of the adaptive threshold (which must agree pixel for pixel).
namespace imaging {

// Destination position x of outSize samples over a source of `size` samples sits at
// x * size / outSize: between source samples `first` and `second` with `weight`/256 of the
// second. Positions past the last source sample repeat it.
struct LinearTap {
  uint32_t first = 0;
  uint32_t second = 0;
  uint32_t weight = 0;
};

inline LinearTap LinearTapAt(uint32_t x, uint32_t size, uint32_t outSize) {
  // x * size * 256 / outSize without overflow: whole part and remainder separately.
  const uint64_t product = uint64_t{x} * size;
  const uint64_t whole = product / outSize;
  const uint64_t fraction = (product % outSize) * 256 / outSize;
  LinearTap tap;
  tap.first = static_cast<uint32_t>(whole < size ? whole : size - 1);
  tap.second = tap.first + 1 < size ? tap.first + 1 : size - 1;
  tap.weight = static_cast<uint32_t>(fraction);
  return tap;
}

std::vector<LinearTap> LinearTaps(uint32_t size, uint32_t outSize);

// blended[i] = a[i] * (256 - weight) + b[i] * weight, for `count` bytes.
void BlendRows(const uint8_t* a, const uint8_t* b, uint32_t weight, uint16_t* blended, uint32_t count);

// out[x * channels + c] = (blended[first * channels + c] * (256 - w) +
//                          blended[second * channels + c] * w + 32768) >> 16 for every tap x;
// `channels` is 1 or 3.
void InterpolateRow(const uint16_t* blended, const std::vector<LinearTap>& taps, uint32_t channels, uint8_t* out);

}  // namespace imaging
