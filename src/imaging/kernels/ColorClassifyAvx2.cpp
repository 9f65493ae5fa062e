// The colour classification for AVX2 (32 pixels per block: two blocks of 16, one in each
// 128-bit lane, so that every shuffle stays inside its lane). This file is compiled for AVX2
// through the pragma below; it is only called after a run-time check.
#include "imaging/kernels/ColorClassifyVector.h"
#include "imaging/kernels/CpuFeatures.h"

#if VELLORAN_X86_SIMD
#include <immintrin.h>

// Everything defined below is compiled for the instruction set (gcc and clang spell it differently).
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt"))), apply_to = function)
#else
#pragma GCC target("avx2,popcnt")
#endif

namespace imaging {
namespace {

struct V {
  using T = __m256i;
  static constexpr uint32_t kPixels = 32;
  static constexpr uint32_t kAllPixels = 0xFFFFFFFF;
  struct Channels {
    T blue, green, red;
  };

  static T Mask(int8_t a0, int8_t a1, int8_t a2, int8_t a3, int8_t a4, int8_t a5, int8_t a6, int8_t a7, int8_t a8,
                int8_t a9, int8_t a10, int8_t a11, int8_t a12, int8_t a13, int8_t a14, int8_t a15) {
    return _mm256_setr_epi8(a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15,  //
                            a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15);
  }
  static T Gather3(T a, T b, T c, T ma, T mb, T mc) {
    return _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(a, ma), _mm256_shuffle_epi8(b, mb)),
                           _mm256_shuffle_epi8(c, mc));
  }
  static T LoadLanes(const uint8_t* low, const uint8_t* high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
  }
  // Pixels 0-15 in the low lanes, 16-31 in the high lanes, split into their channels.
  static Channels Load(const uint8_t* p) {
    const T x0 = LoadLanes(p, p + 48);
    const T x1 = LoadLanes(p + 16, p + 64);
    const T x2 = LoadLanes(p + 32, p + 80);
    Channels ch;
    ch.blue = Gather3(x0, x1, x2, Mask(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1),
                      Mask(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1),
                      Mask(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13));
    ch.green = Gather3(x0, x1, x2, Mask(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1),
                       Mask(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1),
                       Mask(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14));
    ch.red = Gather3(x0, x1, x2, Mask(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1),
                     Mask(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1),
                     Mask(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15));
    return ch;
  }
  static T Zero() { return _mm256_setzero_si256(); }
  static T Set8(uint8_t v) { return _mm256_set1_epi8(static_cast<char>(v)); }
  static T Set16(uint16_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
  static T Set32(int32_t v) { return _mm256_set1_epi32(v); }
  static T Pair16(int16_t a, int16_t b) {
    return _mm256_setr_epi16(a, b, a, b, a, b, a, b, a, b, a, b, a, b, a, b);
  }
  static T Or(T a, T b) { return _mm256_or_si256(a, b); }
  static T And(T a, T b) { return _mm256_and_si256(a, b); }
  static T AndNot(T a, T b) { return _mm256_andnot_si256(a, b); }
  static T CmpEq8(T a, T b) { return _mm256_cmpeq_epi8(a, b); }
  static T CmpEq16(T a, T b) { return _mm256_cmpeq_epi16(a, b); }
  static T CmpGt32(T a, T b) { return _mm256_cmpgt_epi32(a, b); }
  static T MinU8(T a, T b) { return _mm256_min_epu8(a, b); }
  static T Sub8(T a, T b) { return _mm256_sub_epi8(a, b); }
  static T SubsU8(T a, T b) { return _mm256_subs_epu8(a, b); }
  static T SubsU16(T a, T b) { return _mm256_subs_epu16(a, b); }
  static T Add16(T a, T b) { return _mm256_add_epi16(a, b); }
  static T Sub16(T a, T b) { return _mm256_sub_epi16(a, b); }
  static T Add32(T a, T b) { return _mm256_add_epi32(a, b); }
  static T MulhiU16(T a, T b) { return _mm256_mulhi_epu16(a, b); }
  static T Mullo16(T a, T b) { return _mm256_mullo_epi16(a, b); }
  static T Madd16(T a, T b) { return _mm256_madd_epi16(a, b); }
  static T UnpackLo8(T a, T b) { return _mm256_unpacklo_epi8(a, b); }
  static T UnpackHi8(T a, T b) { return _mm256_unpackhi_epi8(a, b); }
  static T UnpackLo16(T a, T b) { return _mm256_unpacklo_epi16(a, b); }
  static T UnpackHi16(T a, T b) { return _mm256_unpackhi_epi16(a, b); }
  static T PackUs16(T a, T b) { return _mm256_packus_epi16(a, b); }
  static T Packs16(T a, T b) { return _mm256_packs_epi16(a, b); }
  static T Packs32(T a, T b) { return _mm256_packs_epi32(a, b); }
  static uint32_t MoveMask8(T a) { return static_cast<uint32_t>(_mm256_movemask_epi8(a)); }
  static uint32_t CountBits(uint32_t bits) { return static_cast<uint32_t>(__builtin_popcount(bits)); }
};

#include "imaging/kernels/ColorClassifyBlock.inc"

}  // namespace

uint32_t ClassifyBlocksAvx2(const uint8_t* row, uint32_t width, const ColorClassifier& classifier, ColorCounts& counts) {
  return ClassifyAndCount<V>(row, width, classifier, counts);
}

}  // namespace imaging

#if defined(__clang__)
#pragma clang attribute pop
#endif

#else

namespace imaging {
uint32_t ClassifyBlocksAvx2(const uint8_t*, uint32_t, const ColorClassifier&, ColorCounts&) { return 0; }
}  // namespace imaging

#endif
