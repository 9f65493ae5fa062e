#include "imaging/kernels/Resample.h"

namespace imaging {

std::vector<LinearTap> LinearTaps(uint32_t size, uint32_t outSize) {
  std::vector<LinearTap> taps(outSize);
  for (uint32_t x = 0; x < outSize; ++x) taps[x] = LinearTapAt(x, size, outSize);
  return taps;
}

void BlendRows(const uint8_t* a, const uint8_t* b, uint32_t weight, uint16_t* blended, uint32_t count) {
  const uint32_t keep = 256 - weight;
  for (uint32_t i = 0; i < count; ++i) blended[i] = static_cast<uint16_t>(a[i] * keep + b[i] * weight);
}

void InterpolateRow(const uint16_t* blended, const std::vector<LinearTap>& taps, uint32_t channels, uint8_t* out) {
  const size_t count = taps.size();
  if (channels == 1) {
    for (size_t x = 0; x < count; ++x) {
      const LinearTap& t = taps[x];
      out[x] = static_cast<uint8_t>((blended[t.first] * (256 - t.weight) + blended[t.second] * t.weight + 32768) >> 16);
    }
    return;
  }
  for (size_t x = 0; x < count; ++x) {
    const LinearTap& t = taps[x];
    const uint16_t* p = blended + size_t{t.first} * channels;
    const uint16_t* q = blended + size_t{t.second} * channels;
    for (uint32_t c = 0; c < channels; ++c)
      out[x * channels + c] = static_cast<uint8_t>((p[c] * (256 - t.weight) + q[c] * t.weight + 32768) >> 16);
  }
}

}  // namespace imaging
