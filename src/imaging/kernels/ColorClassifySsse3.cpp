// The colour classification for SSSE3 (16 pixels per block). This file is compiled for SSSE3
// through the pragma below; it is only called after a run-time check.
#include "imaging/kernels/ColorClassifyVector.h"
#include "imaging/kernels/CpuFeatures.h"

#if VELLORAN_X86_SIMD
#include <immintrin.h>

// Everything defined below is compiled for the instruction set (gcc and clang spell it differently).
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("ssse3"))), apply_to = function)
#else
#pragma GCC target("ssse3")
#endif

namespace imaging {
namespace {

struct V {
  using T = __m128i;
  static constexpr uint32_t kPixels = 16;
  static constexpr uint32_t kAllPixels = 0xFFFF;
  struct Channels {
    T blue, green, red;
  };

  static T Gather3(T a, T b, T c, T ma, T mb, T mc) {
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, ma), _mm_shuffle_epi8(b, mb)), _mm_shuffle_epi8(c, mc));
  }
  // 16 pixels (48 bytes) split into their blue, green and red bytes.
  static Channels Load(const uint8_t* p) {
    const T x0 = _mm_loadu_si128(reinterpret_cast<const T*>(p));
    const T x1 = _mm_loadu_si128(reinterpret_cast<const T*>(p + 16));
    const T x2 = _mm_loadu_si128(reinterpret_cast<const T*>(p + 32));
    Channels ch;
    ch.blue = Gather3(x0, x1, x2, _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1),
                      _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1),
                      _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13));
    ch.green = Gather3(x0, x1, x2, _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1),
                       _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1),
                       _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14));
    ch.red = Gather3(x0, x1, x2, _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1),
                     _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1),
                     _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15));
    return ch;
  }
  static T Zero() { return _mm_setzero_si128(); }
  static T Set8(uint8_t v) { return _mm_set1_epi8(static_cast<char>(v)); }
  static T Set16(uint16_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
  static T Set32(int32_t v) { return _mm_set1_epi32(v); }
  static T Pair16(int16_t a, int16_t b) { return _mm_setr_epi16(a, b, a, b, a, b, a, b); }
  static T Or(T a, T b) { return _mm_or_si128(a, b); }
  static T And(T a, T b) { return _mm_and_si128(a, b); }
  static T AndNot(T a, T b) { return _mm_andnot_si128(a, b); }
  static T CmpEq8(T a, T b) { return _mm_cmpeq_epi8(a, b); }
  static T CmpEq16(T a, T b) { return _mm_cmpeq_epi16(a, b); }
  static T CmpGt32(T a, T b) { return _mm_cmpgt_epi32(a, b); }
  static T MinU8(T a, T b) { return _mm_min_epu8(a, b); }
  static T Sub8(T a, T b) { return _mm_sub_epi8(a, b); }
  static T SubsU8(T a, T b) { return _mm_subs_epu8(a, b); }
  static T SubsU16(T a, T b) { return _mm_subs_epu16(a, b); }
  static T Add16(T a, T b) { return _mm_add_epi16(a, b); }
  static T Sub16(T a, T b) { return _mm_sub_epi16(a, b); }
  static T Add32(T a, T b) { return _mm_add_epi32(a, b); }
  static T MulhiU16(T a, T b) { return _mm_mulhi_epu16(a, b); }
  static T Mullo16(T a, T b) { return _mm_mullo_epi16(a, b); }
  static T Madd16(T a, T b) { return _mm_madd_epi16(a, b); }
  static T UnpackLo8(T a, T b) { return _mm_unpacklo_epi8(a, b); }
  static T UnpackHi8(T a, T b) { return _mm_unpackhi_epi8(a, b); }
  static T UnpackLo16(T a, T b) { return _mm_unpacklo_epi16(a, b); }
  static T UnpackHi16(T a, T b) { return _mm_unpackhi_epi16(a, b); }
  static T PackUs16(T a, T b) { return _mm_packus_epi16(a, b); }
  static T Packs16(T a, T b) { return _mm_packs_epi16(a, b); }
  static T Packs32(T a, T b) { return _mm_packs_epi32(a, b); }
  static uint32_t MoveMask8(T a) { return static_cast<uint32_t>(_mm_movemask_epi8(a)); }
  // Without a population count instruction (not implied by SSSE3).
  static uint32_t CountBits(uint32_t bits) {
    static constexpr uint8_t kNibble[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    return kNibble[bits & 15] + kNibble[(bits >> 4) & 15] + kNibble[(bits >> 8) & 15] + kNibble[(bits >> 12) & 15];
  }
};

#include "imaging/kernels/ColorClassifyBlock.inc"

}  // namespace

uint32_t ClassifyBlocksSsse3(const uint8_t* row, uint32_t width, const ColorClassifier& classifier, ColorCounts& counts) {
  return ClassifyAndCount<V>(row, width, classifier, counts);
}

}  // namespace imaging

#if defined(__clang__)
#pragma clang attribute pop
#endif

#else

namespace imaging {
uint32_t ClassifyBlocksSsse3(const uint8_t*, uint32_t, const ColorClassifier&, ColorCounts&) { return 0; }
}  // namespace imaging

#endif
