#include "imaging/ImageLimits.h"

namespace imaging {

std::optional<uint64_t> CheckedMul(uint64_t a, uint64_t b) {
  uint64_t result = 0;
  if (__builtin_mul_overflow(a, b, &result)) return std::nullopt;
  return result;
}

std::optional<uint64_t> CheckedMul(uint64_t a, uint64_t b, uint64_t c) {
  const auto ab = CheckedMul(a, b);
  if (!ab) return std::nullopt;
  return CheckedMul(*ab, c);
}

std::optional<uint64_t> CheckedAdd(uint64_t a, uint64_t b) {
  uint64_t result = 0;
  if (__builtin_add_overflow(a, b, &result)) return std::nullopt;
  return result;
}

uint32_t NormalizedBpp(uint32_t bpp) {
  if (bpp <= 1) return 1;
  if (bpp <= 4) return 4;
  if (bpp <= 8) return 8;
  return 24;
}

bool WithinImageLimit(uint64_t width, uint64_t height, uint32_t bpp) {
  const auto bits = CheckedMul(width, height, NormalizedBpp(bpp));
  // The product must fit 32 bits, and its whole bytes must not pass the limit.
  if (!bits || *bits > UINT32_MAX) return false;
  return (*bits & ~uint64_t{7}) <= kMaxPixelBits;
}

bool PlausibleForFile(uint64_t width, uint64_t height, uint32_t bpp, uint64_t fileBytes) {
  const auto bits = CheckedMul(width, height, NormalizedBpp(bpp));
  if (!bits) return false;
  const uint64_t bytes = *bits / 8;
  return bytes <= kBombFloorBytes || bytes / kMaxExpansion <= fileBytes;
}

bool WithinScratchLimit(uint64_t bytes) { return bytes <= kMaxPixelBits / 8 * 2; }

}  // namespace imaging
