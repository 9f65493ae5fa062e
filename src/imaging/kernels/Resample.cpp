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

namespace {

template <uint32_t kChannels>
void InterpolateChannels(const uint16_t* blended, const std::vector<LinearTap>& taps, uint8_t* out) {
  for (const LinearTap& t : taps) {
    const uint16_t* p = blended + size_t{t.first} * kChannels;
    const uint16_t* q = blended + size_t{t.second} * kChannels;
    const uint32_t keep = 256 - t.weight;
    for (uint32_t c = 0; c < kChannels; ++c) out[c] = static_cast<uint8_t>((p[c] * keep + q[c] * t.weight + 32768) >> 16);
    out += kChannels;
  }
}

}  // namespace

void InterpolateRow(const uint16_t* blended, const std::vector<LinearTap>& taps, uint32_t channels, uint8_t* out) {
  if (channels == 1) return InterpolateChannels<1>(blended, taps, out);
  InterpolateChannels<3>(blended, taps, out);
}

}  // namespace imaging
