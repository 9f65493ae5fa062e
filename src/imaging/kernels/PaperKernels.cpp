#include "imaging/kernels/PaperKernels.h"

#include <algorithm>

#include "imaging/kernels/ColorClassifyVector.h"
#include "imaging/kernels/CpuFeatures.h"

#if VELLORAN_X86_SIMD
#include <immintrin.h>
#endif

namespace imaging {
namespace {

bool InPaperRange(const uint8_t* p, const PaperRange& range) {
  return p[0] >= range.low[0] && p[0] <= range.high[0] && p[1] >= range.low[1] && p[1] <= range.high[1] &&
         p[2] >= range.low[2] && p[2] <= range.high[2];
}

void ReplacePaperScalar(const uint8_t* src, uint8_t* dst, uint32_t begin, uint32_t width, const PaperRange& range) {
  for (uint32_t x = begin; x < width; ++x) {
    const uint8_t* p = src + 3 * size_t{x};
    const uint8_t* from = InPaperRange(p, range) ? range.replacement.data() : p;
    uint8_t* q = dst + 3 * size_t{x};
    q[0] = from[0];
    q[1] = from[1];
    q[2] = from[2];
  }
}

// One pixel's class: 1 colour, 0 other content, -1 not counted.
int ClassifyPixel(const uint8_t* p, const ColorClassifier& c) {
  const int32_t b = p[0], g = p[1], r = p[2];
  // Pure black and pure white are never examined, and unexamined pixels never count.
  if ((b | g | r) == 0 || (b & g & r) == 255) return -1;
  const int32_t a = (b + g + r) / 3;
  if (a < c.examinedLow || a > c.examinedHigh) return -1;
  const int32_t lowest = std::min({b, g, r});
  // Colourfulness 255 - lowest * 255 / a at or below the gray limit, in integers.
  const bool grayish = 255 * lowest >= (255 - c.grayLimit) * a;
  if (!grayish) {
    const int32_t black = 30 * b * b + 59 * g * g + 30 * r * r;
    const int32_t white = 30 * (b - 255) * (b - 255) + 59 * (g - 255) * (g - 255) + 30 * (r - 255) * (r - 255);
    if (black > c.blackDistance && white > c.whiteDistance) return 1;
  }
  const bool light = a >= 128;
  return (c.mode == 0 ? light : !light) ? 0 : -1;
}

void ClassifyScalar(const uint8_t* row, uint32_t begin, uint32_t width, const ColorClassifier& c, ColorCounts& counts) {
  for (uint32_t x = begin; x < width; ++x) {
    const int kind = ClassifyPixel(row + 3 * size_t{x}, c);
    counts.colour += kind == 1;
    counts.other += kind == 0;
  }
}

#if VELLORAN_X86_SIMD

// 16 pixels (48 bytes in three registers) split into their blue, green and red bytes, and
// per-pixel bytes spread back to the three bytes of each pixel.
struct Channels16 {
  __m128i blue, green, red;
};

__attribute__((target("ssse3"))) inline __m128i Gather3(__m128i a, __m128i b, __m128i c, __m128i ma, __m128i mb,
                                                         __m128i mc) {
  return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, ma), _mm_shuffle_epi8(b, mb)), _mm_shuffle_epi8(c, mc));
}

// The shuffles that split 48 bytes of pixels (three registers) into their channels: for each
// channel, one mask per register. And the shuffles that spread 16 per-pixel bytes back over the
// three bytes of each pixel. The AVX2 kernels use them in both lanes.
alignas(16) constexpr int8_t kChannelMasks[3][3][16] = {
    {{0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
     {-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1},
     {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13}},
    {{1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
     {-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1},
     {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14}},
    {{2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
     {-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1},
     {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15}}};
alignas(16) constexpr int8_t kSpreadMasks[3][16] = {{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5},
                                                    {5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10},
                                                    {10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15}};

__attribute__((target("ssse3"))) inline __m128i Mask128(const int8_t* mask) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
}

__attribute__((target("ssse3"))) inline __m128i Channel(int c, __m128i x0, __m128i x1, __m128i x2) {
  return Gather3(x0, x1, x2, Mask128(kChannelMasks[c][0]), Mask128(kChannelMasks[c][1]), Mask128(kChannelMasks[c][2]));
}

__attribute__((target("ssse3"))) inline Channels16 Deinterleave(__m128i x0, __m128i x1, __m128i x2) {
  return Channels16{Channel(0, x0, x1, x2), Channel(1, x0, x1, x2), Channel(2, x0, x1, x2)};
}

__attribute__((target("ssse3"))) inline void Spread(__m128i perPixel, __m128i out[3]) {
  for (int k = 0; k < 3; ++k) out[k] = _mm_shuffle_epi8(perPixel, Mask128(kSpreadMasks[k]));
}

// Bytes v with low <= v <= high (unsigned), as 0xFF: v - low wraps above high - low otherwise.
__attribute__((target("ssse3"))) inline __m128i InRange(__m128i v, __m128i low, __m128i span) {
  return _mm_cmpeq_epi8(_mm_subs_epu8(_mm_sub_epi8(v, low), span), _mm_setzero_si128());
}

// (b + g + r) / 3 of 16 pixels: the 16-bit sums times 21846 / 65536 are exact below 98304.
__attribute__((target("ssse3"))) inline __m128i Intensity16(const Channels16& ch, __m128i* low16, __m128i* high16) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i third = _mm_set1_epi16(21846);
  const __m128i sumLow = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(ch.blue, zero), _mm_unpacklo_epi8(ch.green, zero)),
                                       _mm_unpacklo_epi8(ch.red, zero));
  const __m128i sumHigh = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(ch.blue, zero), _mm_unpackhi_epi8(ch.green, zero)),
                                        _mm_unpackhi_epi8(ch.red, zero));
  *low16 = _mm_mulhi_epu16(sumLow, third);
  *high16 = _mm_mulhi_epu16(sumHigh, third);
  return _mm_packus_epi16(*low16, *high16);
}

__attribute__((target("ssse3"))) inline Channels16 Load16(const uint8_t* p) {
  return Deinterleave(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)));
}

__attribute__((target("ssse3"))) void ReplacePaperSsse3(const uint8_t* src, uint8_t* dst, uint32_t width,
                                                        const PaperRange& range) {
  const __m128i lowB = _mm_set1_epi8(static_cast<char>(range.low[0]));
  const __m128i lowG = _mm_set1_epi8(static_cast<char>(range.low[1]));
  const __m128i lowR = _mm_set1_epi8(static_cast<char>(range.low[2]));
  // An empty range (high < low) matches nothing; the span test would wrap instead.
  auto span = [](uint8_t low, uint8_t high) { return _mm_set1_epi8(static_cast<char>(high - low)); };
  const __m128i spanB = span(range.low[0], range.high[0]);
  const __m128i spanG = span(range.low[1], range.high[1]);
  const __m128i spanR = span(range.low[2], range.high[2]);
  const bool empty = range.high[0] < range.low[0] || range.high[1] < range.low[1] || range.high[2] < range.low[2];
  __m128i replacement[3];
  {
    alignas(16) uint8_t bytes[48];
    for (int i = 0; i < 48; ++i) bytes[i] = range.replacement[i % 3];
    for (int k = 0; k < 3; ++k) replacement[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes + 16 * k));
  }
  uint32_t x = 0;
  if (!empty) {
    for (; x + 16 <= width; x += 16) {
      const uint8_t* p = src + 3 * size_t{x};
      const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
      const __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
      const Channels16 ch = Deinterleave(x0, x1, x2);
      const __m128i inside = _mm_and_si128(_mm_and_si128(InRange(ch.blue, lowB, spanB), InRange(ch.green, lowG, spanG)),
                                           InRange(ch.red, lowR, spanR));
      __m128i mask[3];
      Spread(inside, mask);
      uint8_t* q = dst + 3 * size_t{x};
      const __m128i xs[3] = {x0, x1, x2};
      for (int k = 0; k < 3; ++k) {
        const __m128i out = _mm_or_si128(_mm_and_si128(mask[k], replacement[k]), _mm_andnot_si128(mask[k], xs[k]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 16 * k), out);
      }
    }
  }
  ReplacePaperScalar(src, dst, x, width, range);
}

// The same for AVX2, 32 pixels a step: pixels 0-15 in the low lanes and 16-31 in the high
// lanes of three registers, so that every shuffle stays inside its lane with the masks above.
__attribute__((target("avx2"))) inline __m256i Mask256(const int8_t* mask) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(mask)));
}

__attribute__((target("avx2"))) inline __m256i LoadLanes(const uint8_t* p) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)), 1);
}

__attribute__((target("avx2"))) inline void StoreLanes(uint8_t* q, __m256i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm256_castsi256_si128(v));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 48), _mm256_extracti128_si256(v, 1));
}

__attribute__((target("avx2"))) void ReplacePaperAvx2(const uint8_t* src, uint8_t* dst, uint32_t width,
                                                       const PaperRange& range) {
  const bool empty = range.high[0] < range.low[0] || range.high[1] < range.low[1] || range.high[2] < range.low[2];
  uint32_t x = 0;
  if (!empty) {
    __m256i low[3], span[3], replacement[3], spread[3], masks[3][3];
    alignas(16) int8_t pattern[48];
    for (int i = 0; i < 48; ++i) pattern[i] = static_cast<int8_t>(range.replacement[i % 3]);
    for (int k = 0; k < 3; ++k) {
      low[k] = _mm256_set1_epi8(static_cast<char>(range.low[k]));
      span[k] = _mm256_set1_epi8(static_cast<char>(range.high[k] - range.low[k]));
      replacement[k] = Mask256(pattern + 16 * k);
      spread[k] = Mask256(kSpreadMasks[k]);
      for (int r = 0; r < 3; ++r) masks[k][r] = Mask256(kChannelMasks[k][r]);
    }
    const __m256i zero = _mm256_setzero_si256();
    for (; x + 32 <= width; x += 32) {
      const uint8_t* p = src + 3 * size_t{x};
      const __m256i xs[3] = {LoadLanes(p), LoadLanes(p + 16), LoadLanes(p + 32)};
      __m256i inside = _mm256_set1_epi8(-1);
      for (int c = 0; c < 3; ++c) {
        const __m256i channel = _mm256_or_si256(
            _mm256_or_si256(_mm256_shuffle_epi8(xs[0], masks[c][0]), _mm256_shuffle_epi8(xs[1], masks[c][1])),
            _mm256_shuffle_epi8(xs[2], masks[c][2]));
        const __m256i above = _mm256_subs_epu8(_mm256_sub_epi8(channel, low[c]), span[c]);
        inside = _mm256_and_si256(inside, _mm256_cmpeq_epi8(above, zero));
      }
      uint8_t* q = dst + 3 * size_t{x};
      for (int k = 0; k < 3; ++k) {
        const __m256i mask = _mm256_shuffle_epi8(inside, spread[k]);
        StoreLanes(q + 16 * k, _mm256_blendv_epi8(xs[k], replacement[k], mask));
      }
    }
  }
  ReplacePaperSsse3(src + 3 * size_t{x}, dst + 3 * size_t{x}, width - x, range);
}

// Adds the eight byte levels held in `levels` to the four interleaved histograms.
inline void AddLevels8(uint64_t levels, std::array<std::array<uint32_t, 256>, 4>& counts) {
  ++counts[0][levels & 0xFF];
  ++counts[1][(levels >> 8) & 0xFF];
  ++counts[2][(levels >> 16) & 0xFF];
  ++counts[3][(levels >> 24) & 0xFF];
  ++counts[0][(levels >> 32) & 0xFF];
  ++counts[1][(levels >> 40) & 0xFF];
  ++counts[2][(levels >> 48) & 0xFF];
  ++counts[3][levels >> 56];
}

__attribute__((target("ssse3"))) void AddIntensitiesSsse3(const uint8_t* row, uint32_t begin, uint32_t end,
                                                          std::array<std::array<uint32_t, 256>, 4>& counts) {
  uint32_t x = begin;
  for (; x + 16 <= end; x += 16) {
    __m128i low16, high16;
    const __m128i levels = Intensity16(Load16(row + 3 * size_t{x}), &low16, &high16);
    // Straight from the register: storing the vector and reloading single bytes would wait
    // on the store.
    AddLevels8(static_cast<uint64_t>(_mm_cvtsi128_si64(levels)), counts);
    AddLevels8(static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(levels, levels))), counts);
  }
  for (; x < end; ++x) ++counts[0][IntensityOf(row + 3 * size_t{x})];
}

__attribute__((target("ssse3"))) void AddChannelsSsse3(const uint8_t* row, uint32_t begin, uint32_t end,
                                                       std::array<std::array<std::array<uint32_t, 256>, 4>, 3>& counts) {
  uint32_t x = begin;
  for (; x + 16 <= end; x += 16) {
    const Channels16 ch = Load16(row + 3 * size_t{x});
    const __m128i channels[3] = {ch.blue, ch.green, ch.red};
    for (int c = 0; c < 3; ++c) {
      AddLevels8(static_cast<uint64_t>(_mm_cvtsi128_si64(channels[c])), counts[c]);
      AddLevels8(static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(channels[c], channels[c]))), counts[c]);
    }
  }
  for (; x < end; ++x)
    for (int c = 0; c < 3; ++c) ++counts[c][0][row[3 * size_t{x} + c]];
}




#endif

}  // namespace

void ReplacePaperRow(const uint8_t* src, uint8_t* dst, uint32_t width, const PaperRange& range) {
#if VELLORAN_X86_SIMD
  if (CpuHasAvx2()) return ReplacePaperAvx2(src, dst, width, range);
  if (CpuHasSsse3()) return ReplacePaperSsse3(src, dst, width, range);
#endif
  ReplacePaperScalar(src, dst, 0, width, range);
}

void IntensityHistogram::AddRow(const uint8_t* row, uint32_t begin, uint32_t end) {
#if VELLORAN_X86_SIMD
  if (CpuHasSsse3()) return AddIntensitiesSsse3(row, begin, end, counts_);
#endif
  for (uint32_t x = begin; x < end; ++x) ++counts_[x & 3][IntensityOf(row + 3 * size_t{x})];
}

std::array<uint32_t, 256> IntensityHistogram::Total() const {
  std::array<uint32_t, 256> total{};
  for (const auto& part : counts_)
    for (size_t i = 0; i < 256; ++i) total[i] += part[i];
  return total;
}

void ChannelHistograms::AddRow(const uint8_t* row, uint32_t begin, uint32_t end) {
#if VELLORAN_X86_SIMD
  if (CpuHasSsse3()) return AddChannelsSsse3(row, begin, end, counts_);
#endif
  for (uint32_t x = begin; x < end; ++x)
    for (int c = 0; c < 3; ++c) ++counts_[c][x & 3][row[3 * size_t{x} + c]];
}

std::array<std::array<uint32_t, 256>, 3> ChannelHistograms::Total() const {
  std::array<std::array<uint32_t, 256>, 3> total{};
  for (size_t c = 0; c < 3; ++c)
    for (const auto& part : counts_[c])
      for (size_t i = 0; i < 256; ++i) total[c][i] += part[i];
  return total;
}

void ClassifyRow(const uint8_t* row, uint32_t width, const ColorClassifier& classifier, ColorCounts& counts) {
#if VELLORAN_X86_SIMD
  uint32_t done = 0;
  if (CpuHasAvx2()) {
    done = ClassifyBlocksAvx2(row, width, classifier, counts);
  } else if (CpuHasSsse3()) {
    done = ClassifyBlocksSsse3(row, width, classifier, counts);
  }
  ClassifyScalar(row, done, width, classifier, counts);
#else
  ClassifyScalar(row, 0, width, classifier, counts);
#endif
}

}  // namespace imaging
