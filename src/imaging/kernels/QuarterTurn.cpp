#include "imaging/kernels/QuarterTurn.h"

#include <cstring>

#include "imaging/kernels/CpuFeatures.h"

#if VELLORAN_X86_SIMD
#include <immintrin.h>
#endif

namespace imaging {
namespace {

void TurnPixels24(const QuarterTurn& t, uint32_t dr0, uint32_t dr1, uint32_t dx0, uint32_t dx1) {
  for (uint32_t dr = dr0; dr < dr1; ++dr) {
    uint8_t* dst = t.destination + dr * t.destinationStride + size_t{dx0} * 3;
    const uint8_t* src = t.source + size_t{t.SourceColumn(dr)} * 3;
    for (uint32_t dx = dx0; dx < dx1; ++dx, dst += 3) std::memcpy(dst, src + t.SourceRow(dx) * t.sourceStride, 3);
  }
}

#if VELLORAN_X86_SIMD

// Blocks of 4 x 4 pixels: four 16-byte loads (one per source row, source columns c0 .. c0 + 3),
// each widened to four 32-bit pixels, a 4 x 4 transpose, and four 16-byte stores of 12 pixel
// bytes each (destination columns dx .. dx + 3). The 4 bytes past each load and store stay
// inside the row (checked by the caller); the stored ones land on the next pixels of the
// destination row, which are written afterwards. `rows` are the source rows of destination
// columns dx .. dx + 3; `out` the destination rows of source columns c0 .. c0 + 3.
__attribute__((target("ssse3"))) inline void TurnBlock24(const uint8_t* const rows[4], uint8_t* const out[4]) {
  const __m128i widen = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i narrow = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  // Four separate loads (not a loop): each keeps a steady address pattern that the
  // processor's stride prefetcher follows.
  const __m128i a = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[0])), widen);
  const __m128i b = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[1])), widen);
  const __m128i c = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[2])), widen);
  const __m128i d = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[3])), widen);
  const __m128i ab0 = _mm_unpacklo_epi32(a, b);
  const __m128i ab1 = _mm_unpackhi_epi32(a, b);
  const __m128i cd0 = _mm_unpacklo_epi32(c, d);
  const __m128i cd1 = _mm_unpackhi_epi32(c, d);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out[0]), _mm_shuffle_epi8(_mm_unpacklo_epi64(ab0, cd0), narrow));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out[1]), _mm_shuffle_epi8(_mm_unpackhi_epi64(ab0, cd0), narrow));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out[2]), _mm_shuffle_epi8(_mm_unpacklo_epi64(ab1, cd1), narrow));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out[3]), _mm_shuffle_epi8(_mm_unpackhi_epi64(ab1, cd1), narrow));
}

__attribute__((target("ssse3"))) void TurnBand24Ssse3(const QuarterTurn& t, uint32_t dr0, uint32_t dr1) {
  const uint32_t outWidth = t.height;
  const uint32_t groups = (dr1 - dr0) / 4;
  const uint32_t groupsEnd = dr0 + groups * 4;
  // Per group of 4 destination rows: the lowest source column and the destination rows of
  // source columns c0 .. c0 + 3, ordered by ascending source column so that the loads of a
  // pass walk each source row forwards.
  struct Group {
    uint32_t c0;
    bool loadable;  // a 16-byte load at c0 stays inside the row: c0 + 6 <= width
    uint32_t firstRow;
    uint8_t* out[4];
  };
  Group list[8];
  for (uint32_t g = 0; g < groups && g < 8; ++g) {
    const uint32_t dr = t.threeQuarters ? dr0 + 4 * g : groupsEnd - 4 * (g + 1);
    Group& group = list[g];
    group.c0 = t.threeQuarters ? dr : t.width - 4 - dr;
    group.loadable = group.c0 + 6 <= t.width;
    group.firstRow = dr;
    for (uint32_t i = 0; i < 4; ++i)
      group.out[i] = t.destination + (t.threeQuarters ? dr + i : dr + 3 - i) * t.destinationStride;
  }
  const ptrdiff_t rowStep = t.threeQuarters ? -t.sourceStride : t.sourceStride;
  uint32_t dx = 0;
  // Each block scribbles on the two pixels right of it, which the next block (or the tail
  // below) writes afterwards: 16-byte stores need dx + 6 <= outWidth.
  for (; dx + 6 <= outWidth; dx += 4) {
    const uint8_t* row0 = t.source + t.SourceRow(dx) * t.sourceStride;
    for (uint32_t g = 0; g < groups; ++g) {
      const Group& group = list[g];
      if (!group.loadable) {
        TurnPixels24(t, group.firstRow, group.firstRow + 4, dx, dx + 4);
        continue;
      }
      const uint8_t* p = row0 + size_t{group.c0} * 3;
      const uint8_t* const rows[4] = {p, p + rowStep, p + 2 * rowStep, p + 3 * rowStep};
      uint8_t* const out[4] = {group.out[0] + size_t{dx} * 3, group.out[1] + size_t{dx} * 3,
                               group.out[2] + size_t{dx} * 3, group.out[3] + size_t{dx} * 3};
      TurnBlock24(rows, out);
    }
  }
  TurnPixels24(t, dr0, groupsEnd, dx, outWidth);
  TurnPixels24(t, groupsEnd, dr1, 0, outWidth);
}

#endif

}  // namespace

void TurnBand24(const QuarterTurn& turn, uint32_t dr0, uint32_t dr1) {
#if VELLORAN_X86_SIMD
  if (CpuHasSsse3()) {
    // The vector path keeps at most 8 row groups (32 rows) per pass.
    for (uint32_t dr = dr0; dr < dr1; dr += 32) TurnBand24Ssse3(turn, dr, dr + 32 < dr1 ? dr + 32 : dr1);
    return;
  }
#endif
  TurnPixels24(turn, dr0, dr1, 0, turn.height);
}

namespace {

// Transposes an 8 x 8 bit matrix held with row r in byte 7 - r (the most significant byte is
// row 0) and column c in bit 7 - c of each byte.
uint64_t Transpose8x8(uint64_t x) {
  x = (x & 0xAA55AA55AA55AA55ull) | ((x & 0x00AA00AA00AA00AAull) << 7) | ((x >> 7) & 0x00AA00AA00AA00AAull);
  x = (x & 0xCCCC3333CCCC3333ull) | ((x & 0x0000CCCC0000CCCCull) << 14) | ((x >> 14) & 0x0000CCCC0000CCCCull);
  x = (x & 0xF0F0F0F00F0F0F0Full) | ((x & 0x00000000F0F0F0F0ull) << 28) | ((x >> 28) & 0x00000000F0F0F0F0ull);
  return x;
}

// The 8 pixels of a 1-bit row from column `column` on (column + 7 < width), first one in the
// high bit.
uint8_t EightBits(const uint8_t* row, uint32_t column) {
  const uint32_t byte = column >> 3;
  const uint32_t shift = column & 7;
  if (shift == 0) return row[byte];
  return static_cast<uint8_t>((row[byte] << shift) | (row[byte + 1] >> (8 - shift)));
}

bool Bit(const uint8_t* row, uint32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

void TurnPixels1(const QuarterTurn& t, uint32_t dr0, uint32_t dr1, uint32_t dx0, uint32_t dx1) {
  for (uint32_t dr = dr0; dr < dr1; ++dr) {
    uint8_t* dst = t.destination + dr * t.destinationStride;
    const uint32_t column = t.SourceColumn(dr);
    for (uint32_t dx = dx0; dx < dx1; ++dx)
      if (Bit(t.source + t.SourceRow(dx) * t.sourceStride, column)) dst[dx >> 3] |= static_cast<uint8_t>(0x80 >> (dx & 7));
  }
}

}  // namespace

void TurnBand1(const QuarterTurn& t, uint32_t dr0, uint32_t dr1) {
  const uint32_t outWidth = t.height;
  if (dr1 - dr0 != 8) return TurnPixels1(t, dr0, dr1, 0, outWidth);
  // Source columns c0 .. c0 + 7 feed the band's 8 rows (in reverse for a quarter turn).
  const uint32_t c0 = t.threeQuarters ? dr0 : t.width - 8 - dr0;
  uint8_t* out[8];
  for (uint32_t i = 0; i < 8; ++i) out[i] = t.destination + (dr0 + i) * t.destinationStride;
  const uint32_t fullBytes = outWidth / 8;
  for (uint32_t j = 0; j < fullBytes; ++j) {
    uint64_t block = 0;
    for (uint32_t k = 0; k < 8; ++k)
      block |= uint64_t{EightBits(t.source + t.SourceRow(8 * j + k) * t.sourceStride, c0)} << (8 * (7 - k));
    // Row m of the transposed block holds source column c0 + m for destination pixels 8j ..
    // 8j + 7.
    block = Transpose8x8(block);
    for (uint32_t i = 0; i < 8; ++i) {
      const uint32_t m = t.threeQuarters ? i : 7 - i;
      out[i][j] = static_cast<uint8_t>(block >> (8 * (7 - m)));
    }
  }
  TurnPixels1(t, dr0, dr1, fullBytes * 8, outWidth);
}

void TurnTile8(const QuarterTurn& t, uint32_t dr0, uint32_t dr1, uint32_t dx0, uint32_t dx1) {
  for (uint32_t dr = dr0; dr < dr1; ++dr) {
    uint8_t* dst = t.destination + dr * t.destinationStride;
    const uint8_t* src = t.source + t.SourceColumn(dr);
    for (uint32_t dx = dx0; dx < dx1; ++dx) dst[dx] = src[t.SourceRow(dx) * t.sourceStride];
  }
}

}  // namespace imaging
