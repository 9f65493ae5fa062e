#include <array>
#include <cstring>
#include <utility>

#include "imaging/kernels/CpuFeatures.h"
#include "imaging/kernels/PixelRows.h"

#if VELLORAN_X86_SIMD
#include <immintrin.h>
#endif

namespace imaging {
namespace {

constexpr std::array<uint8_t, 256> MakeBitReversal() {
  std::array<uint8_t, 256> table{};
  for (uint32_t v = 0; v < 256; ++v) {
    uint32_t r = 0;
    for (uint32_t bit = 0; bit < 8; ++bit)
      if (v & (1u << bit)) r |= 0x80u >> bit;
    table[v] = static_cast<uint8_t>(r);
  }
  return table;
}
constexpr std::array<uint8_t, 256> kBitReversal = MakeBitReversal();

void BgrRowToGrayScalar(const uint8_t* bgr, uint8_t* gray, uint32_t begin, uint32_t width) {
  for (uint32_t x = begin; x < width; ++x) gray[x] = GrayOf(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
}

void SwapPixels24(uint8_t* a, uint8_t* b) {
  std::swap(a[0], b[0]);
  std::swap(a[1], b[1]);
  std::swap(a[2], b[2]);
}

void ReverseRow24Scalar(uint8_t* row, uint32_t left, uint32_t right) {
  // Pixels [left, right) are reversed among themselves.
  while (right > left + 1) {
    --right;
    SwapPixels24(row + 3 * left, row + 3 * right);
    ++left;
  }
}

void ReverseRow8Scalar(uint8_t* row, uint32_t left, uint32_t right) {
  while (right > left + 1) {
    --right;
    std::swap(row[left], row[right]);
    ++left;
  }
}

void PackGreaterThanScalar(const uint8_t* gray, const uint8_t* threshold, uint8_t* bits, uint32_t begin,
                           uint32_t width) {
  // `begin` is a multiple of 8.
  for (uint32_t x = begin; x < width; x += 8) {
    uint32_t byte = 0;
    const uint32_t end = x + 8 < width ? x + 8 : width;
    for (uint32_t i = x; i < end; ++i)
      if (gray[i] > threshold[i]) byte |= 0x80u >> (i - x);
    bits[x >> 3] = static_cast<uint8_t>(byte);
  }
}

#if VELLORAN_X86_SIMD

// Four pixels (the first 12 bytes of a 16-byte load) become their four gray values as 32-bit
// lanes: blue/green pairs and red are widened to 16 bits and multiply-added with the weights.
__attribute__((target("ssse3"))) inline __m128i GrayOfFour(__m128i bytes) {
  const __m128i blueGreen = _mm_setr_epi8(0, -1, 1, -1, 3, -1, 4, -1, 6, -1, 7, -1, 9, -1, 10, -1);
  const __m128i red = _mm_setr_epi8(2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1);
  const __m128i blueGreenWeights = _mm_setr_epi16(117, 601, 117, 601, 117, 601, 117, 601);
  const __m128i redWeights = _mm_setr_epi16(306, 0, 306, 0, 306, 0, 306, 0);
  const __m128i sum = _mm_add_epi32(_mm_madd_epi16(_mm_shuffle_epi8(bytes, blueGreen), blueGreenWeights),
                                    _mm_madd_epi16(_mm_shuffle_epi8(bytes, red), redWeights));
  return _mm_srli_epi32(sum, 10);
}

__attribute__((target("ssse3"))) void BgrRowToGraySsse3(const uint8_t* bgr, uint8_t* gray, uint32_t width) {
  uint32_t x = 0;
  // The last load of a block reads 4 bytes past its pixels: stop 2 pixels short of the row end.
  for (; x + 18 <= width; x += 16) {
    const uint8_t* p = bgr + 3 * x;
    const __m128i g0 = GrayOfFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    const __m128i g1 = GrayOfFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)));
    const __m128i g2 = GrayOfFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 24)));
    const __m128i g3 = GrayOfFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 36)));
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(g0, g1), _mm_packs_epi32(g2, g3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(gray + x), bytes);
  }
  BgrRowToGrayScalar(bgr, gray, x, width);
}

// Eight pixels per 256-bit register: dwords 0-2 (pixels 0-3) go to the low lane and dwords 3-5
// (pixels 4-7) to the high lane, after which each lane works like GrayOfFour.
__attribute__((target("avx2"))) inline __m256i GrayOfEight(const uint8_t* p) {
  const __m256i spread = _mm256_setr_epi32(0, 1, 2, 2, 3, 4, 5, 5);
  const __m256i blueGreen = _mm256_setr_epi8(0, -1, 1, -1, 3, -1, 4, -1, 6, -1, 7, -1, 9, -1, 10, -1,  //
                                             0, -1, 1, -1, 3, -1, 4, -1, 6, -1, 7, -1, 9, -1, 10, -1);
  const __m256i red = _mm256_setr_epi8(2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1,  //
                                       2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1);
  const __m256i blueGreenWeights = _mm256_setr_epi16(117, 601, 117, 601, 117, 601, 117, 601,  //
                                                     117, 601, 117, 601, 117, 601, 117, 601);
  const __m256i redWeights = _mm256_setr_epi16(306, 0, 306, 0, 306, 0, 306, 0, 306, 0, 306, 0, 306, 0, 306, 0);
  const __m256i bytes =
      _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), spread);
  const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(bytes, blueGreen), blueGreenWeights),
                                       _mm256_madd_epi16(_mm256_shuffle_epi8(bytes, red), redWeights));
  return _mm256_srli_epi32(sum, 10);
}

__attribute__((target("avx2"))) void BgrRowToGrayAvx2(const uint8_t* bgr, uint8_t* gray, uint32_t width) {
  uint32_t x = 0;
  // Each 32-byte load covers 8 pixels (24 bytes): the last one of a block reads 8 bytes past
  // its pixels, so stop 3 pixels short of the row end.
  for (; x + 35 <= width; x += 32) {
    const uint8_t* p = bgr + 3 * x;
    const __m256i g0 = GrayOfEight(p);
    const __m256i g1 = GrayOfEight(p + 24);
    const __m256i g2 = GrayOfEight(p + 48);
    const __m256i g3 = GrayOfEight(p + 72);
    // The packs interleave the lanes; the final permutation puts the pixels back in order.
    const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(g0, g1), _mm256_packs_epi32(g2, g3));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(gray + x),
                        _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7)));
  }
  BgrRowToGrayScalar(bgr, gray, x, width);
}

// The 16 pixels held by a, b, c (48 bytes) in reverse order. Output byte i is channel i % 3 of
// pixel 15 - i / 3.
struct Pixels16 {
  __m128i v0, v1, v2;
};

__attribute__((target("ssse3"))) inline Pixels16 ReversePixels16(__m128i a, __m128i b, __m128i c) {
  const __m128i out0FromB = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 14);
  const __m128i out0FromC = _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, -1);
  const __m128i out1FromA = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 15, -1);
  const __m128i out1FromB = _mm_setr_epi8(15, -1, 11, 12, 13, 8, 9, 10, 5, 6, 7, 2, 3, 4, -1, 0);
  const __m128i out1FromC = _mm_setr_epi8(-1, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i out2FromA = _mm_setr_epi8(-1, 12, 13, 14, 9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2);
  const __m128i out2FromB = _mm_setr_epi8(1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  Pixels16 r;
  r.v0 = _mm_or_si128(_mm_shuffle_epi8(b, out0FromB), _mm_shuffle_epi8(c, out0FromC));
  r.v1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, out1FromA), _mm_shuffle_epi8(b, out1FromB)),
                      _mm_shuffle_epi8(c, out1FromC));
  r.v2 = _mm_or_si128(_mm_shuffle_epi8(a, out2FromA), _mm_shuffle_epi8(b, out2FromB));
  return r;
}

__attribute__((target("ssse3"))) inline Pixels16 LoadPixels16(const uint8_t* p) {
  return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))};
}

__attribute__((target("ssse3"))) inline void StorePixels16(uint8_t* p, const Pixels16& v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v.v0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), v.v1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), v.v2);
}

__attribute__((target("ssse3"))) void ReverseRow24InPlaceSsse3(uint8_t* row, uint32_t width) {
  uint32_t left = 0;
  uint32_t right = width;
  // Swap a block of 16 pixels from each end, each reversed, until fewer than 32 remain.
  while (right - left >= 32) {
    uint8_t* l = row + 3 * left;
    uint8_t* r = row + 3 * (right - 16);
    const Pixels16 a = LoadPixels16(l);
    const Pixels16 b = LoadPixels16(r);
    StorePixels16(l, ReversePixels16(b.v0, b.v1, b.v2));
    StorePixels16(r, ReversePixels16(a.v0, a.v1, a.v2));
    left += 16;
    right -= 16;
  }
  ReverseRow24Scalar(row, left, right);
}

__attribute__((target("ssse3"))) void ReverseRow24Ssse3(const uint8_t* src, uint8_t* dst, uint32_t width) {
  uint32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const Pixels16 a = LoadPixels16(src + 3 * (width - 16 - x));
    StorePixels16(dst + 3 * x, ReversePixels16(a.v0, a.v1, a.v2));
  }
  for (; x < width; ++x) std::memcpy(dst + 3 * x, src + 3 * (width - 1 - x), 3);
}

__attribute__((target("ssse3"))) void ReverseRow8InPlaceSsse3(uint8_t* row, uint32_t width) {
  const __m128i reverse = _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  uint32_t left = 0;
  uint32_t right = width;
  while (right - left >= 32) {
    auto* l = reinterpret_cast<__m128i*>(row + left);
    auto* r = reinterpret_cast<__m128i*>(row + right - 16);
    const __m128i a = _mm_loadu_si128(l);
    const __m128i b = _mm_loadu_si128(r);
    _mm_storeu_si128(l, _mm_shuffle_epi8(b, reverse));
    _mm_storeu_si128(r, _mm_shuffle_epi8(a, reverse));
    left += 16;
    right -= 16;
  }
  ReverseRow8Scalar(row, left, right);
}

// SSE2 is part of every x86-64 processor: no run-time check.
void PackGreaterThanSse2(const uint8_t* gray, const uint8_t* threshold, uint8_t* bits, uint32_t width) {
  uint32_t x = 0;
  const __m128i zero = _mm_setzero_si128();
  for (; x + 16 <= width; x += 16) {
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(gray + x));
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(threshold + x));
    // gray > threshold exactly where the saturating difference is not zero.
    const auto notGreater =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_subs_epu8(g, t), zero)));
    const uint32_t greater = ~notGreater & 0xFFFF;
    // movemask puts pixel 0 in bit 0; rows keep the first pixel in the high bit.
    bits[x >> 3] = kBitReversal[greater & 0xFF];
    bits[(x >> 3) + 1] = kBitReversal[greater >> 8];
  }
  PackGreaterThanScalar(gray, threshold, bits, x, width);
}

#endif

void PackWeightedAboveScalar(const uint8_t* bgr, uint8_t* bits, uint32_t begin, uint32_t width,
                             const int32_t weights[3], int32_t limit) {
  for (uint32_t x = begin; x < width; x += 8) {
    uint32_t byte = 0;
    const uint32_t end = x + 8 < width ? x + 8 : width;
    for (uint32_t i = x; i < end; ++i) {
      const uint8_t* p = bgr + 3 * size_t{i};
      if (weights[0] * p[0] + weights[1] * p[1] + weights[2] * p[2] > limit) byte |= 0x80u >> (i - x);
    }
    bits[x >> 3] = static_cast<uint8_t>(byte);
  }
}

#if VELLORAN_X86_SIMD

// Four pixels (the first 12 bytes of a 16-byte load): weighted sum against the limit, as
// four 32-bit masks. Blue/green pairs and red are widened to 16 bits and multiply-added.
__attribute__((target("ssse3"))) inline __m128i WeightedAbove4(const uint8_t* p, __m128i weightsBlueGreen,
                                                                __m128i weightsRed, __m128i limit) {
  const __m128i blueGreen = _mm_setr_epi8(0, -1, 1, -1, 3, -1, 4, -1, 6, -1, 7, -1, 9, -1, 10, -1);
  const __m128i red = _mm_setr_epi8(2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1);
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i sum = _mm_add_epi32(_mm_madd_epi16(_mm_shuffle_epi8(bytes, blueGreen), weightsBlueGreen),
                                    _mm_madd_epi16(_mm_shuffle_epi8(bytes, red), weightsRed));
  return _mm_cmpgt_epi32(sum, limit);
}

__attribute__((target("ssse3"))) void PackWeightedAboveSsse3(const uint8_t* bgr, uint8_t* bits, uint32_t width,
                                                             const int32_t weights[3], int32_t limit) {
  const auto wb = static_cast<short>(weights[0]), wg = static_cast<short>(weights[1]);
  const auto wr = static_cast<short>(weights[2]);
  const __m128i weightsBlueGreen = _mm_setr_epi16(wb, wg, wb, wg, wb, wg, wb, wg);
  const __m128i weightsRed = _mm_setr_epi16(wr, 0, wr, 0, wr, 0, wr, 0);
  const __m128i limitVector = _mm_set1_epi32(limit);
  // Each half of the 16 results reversed, so that the mask has the first pixel of each byte in
  // its high bit, as the rows keep it.
  const __m128i firstPixelHigh = _mm_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  uint32_t x = 0;
  // The last load of a block reads 4 bytes past its pixels: stop 2 pixels short of the row end.
  for (; x + 18 <= width; x += 16) {
    const uint8_t* p = bgr + 3 * size_t{x};
    const __m128i a0 = WeightedAbove4(p, weightsBlueGreen, weightsRed, limitVector);
    const __m128i a1 = WeightedAbove4(p + 12, weightsBlueGreen, weightsRed, limitVector);
    const __m128i a2 = WeightedAbove4(p + 24, weightsBlueGreen, weightsRed, limitVector);
    const __m128i a3 = WeightedAbove4(p + 36, weightsBlueGreen, weightsRed, limitVector);
    const __m128i packed = _mm_packs_epi16(_mm_packs_epi32(a0, a1), _mm_packs_epi32(a2, a3));
    const auto mask = static_cast<uint16_t>(_mm_movemask_epi8(_mm_shuffle_epi8(packed, firstPixelHigh)));
    std::memcpy(bits + (x >> 3), &mask, 2);  // little-endian: pixels 0-7 first
  }
  PackWeightedAboveScalar(bgr, bits, x, width, weights, limit);
}

#endif

void ReverseRow1(const uint8_t* src, uint8_t* dst, uint32_t width) {
  // Reverse the bytes and the bits inside them; the padding bits of the last source byte then
  // lead the row, so everything is shifted left by their number.
  const uint32_t bytes = (width + 7) / 8;
  const uint32_t pad = bytes * 8 - width;
  for (uint32_t i = 0; i < bytes; ++i) dst[i] = kBitReversal[src[bytes - 1 - i]];
  if (pad == 0) return;
  for (uint32_t i = 0; i + 1 < bytes; ++i)
    dst[i] = static_cast<uint8_t>((dst[i] << pad) | (dst[i + 1] >> (8 - pad)));
  dst[bytes - 1] = static_cast<uint8_t>(dst[bytes - 1] << pad);
}

void ReverseRow4(const uint8_t* src, uint8_t* dst, uint32_t width) {
  const uint32_t bytes = (width + 1) / 2;
  for (uint32_t i = 0; i < bytes; ++i) {
    const uint8_t b = src[bytes - 1 - i];
    dst[i] = static_cast<uint8_t>((b << 4) | (b >> 4));
  }
  if ((width & 1) == 0) return;
  // An odd width leaves the padding nibble in front.
  for (uint32_t i = 0; i + 1 < bytes; ++i) dst[i] = static_cast<uint8_t>((dst[i] << 4) | (dst[i + 1] >> 4));
  dst[bytes - 1] = static_cast<uint8_t>(dst[bytes - 1] << 4);
}

}  // namespace

void BgrRowToGray(const uint8_t* bgr, uint8_t* gray, uint32_t width) {
#if VELLORAN_X86_SIMD
  if (CpuHasAvx2()) return BgrRowToGrayAvx2(bgr, gray, width);
  if (CpuHasSsse3()) return BgrRowToGraySsse3(bgr, gray, width);
#endif
  BgrRowToGrayScalar(bgr, gray, 0, width);
}

void ReverseRow(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t bpp) {
  switch (bpp) {
    case 1: return ReverseRow1(src, dst, width);
    case 4: return ReverseRow4(src, dst, width);
    case 8:
      for (uint32_t x = 0; x < width; ++x) dst[x] = src[width - 1 - x];
      return;
    default:
#if VELLORAN_X86_SIMD
      if (CpuHasSsse3()) return ReverseRow24Ssse3(src, dst, width);
#endif
      for (uint32_t x = 0; x < width; ++x) std::memcpy(dst + 3 * x, src + 3 * (width - 1 - x), 3);
      return;
  }
}

void ReverseRow24InPlace(uint8_t* row, uint32_t width) {
#if VELLORAN_X86_SIMD
  if (CpuHasSsse3()) return ReverseRow24InPlaceSsse3(row, width);
#endif
  ReverseRow24Scalar(row, 0, width);
}

void ReverseRow8InPlace(uint8_t* row, uint32_t width) {
#if VELLORAN_X86_SIMD
  if (CpuHasSsse3()) return ReverseRow8InPlaceSsse3(row, width);
#endif
  ReverseRow8Scalar(row, 0, width);
}

void PackWeightedAbove(const uint8_t* bgr, uint8_t* bits, uint32_t width, const int32_t weights[3], int32_t limit) {
#if VELLORAN_X86_SIMD
  if (CpuHasSsse3()) return PackWeightedAboveSsse3(bgr, bits, width, weights, limit);
#endif
  PackWeightedAboveScalar(bgr, bits, 0, width, weights, limit);
}

void PackBits(const uint8_t* indices, uint8_t* bits, uint32_t width) {
  uint32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const uint8_t* i = indices + x;
    bits[x >> 3] = static_cast<uint8_t>(((i[0] & 1) << 7) | ((i[1] & 1) << 6) | ((i[2] & 1) << 5) | ((i[3] & 1) << 4) |
                                        ((i[4] & 1) << 3) | ((i[5] & 1) << 2) | ((i[6] & 1) << 1) | (i[7] & 1));
  }
  if (x == width) return;
  uint32_t byte = 0;
  for (uint32_t i = x; i < width; ++i) byte |= uint32_t{indices[i] & 1u} << (7 - (i - x));
  bits[x >> 3] = static_cast<uint8_t>(byte);
}

void PackGreaterThan(const uint8_t* gray, const uint8_t* threshold, uint8_t* bits, uint32_t width) {
#if VELLORAN_X86_SIMD
  return PackGreaterThanSse2(gray, threshold, bits, width);
#else
  PackGreaterThanScalar(gray, threshold, bits, 0, width);
#endif
}

}  // namespace imaging
