#pragma once

#include <cstddef>
#include <cstdint>

// Row-level access to packed pixel rows of the bitmap block. Pixels of 1 and 4 bits are packed
// most significant bits first, as the bitmap format stores them.
namespace imaging {

inline uint8_t GetPackedIndex(const uint8_t* row, uint32_t x, uint32_t bpp) {
  switch (bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default: return row[x];
  }
}

inline void SetPackedIndex(uint8_t* row, uint32_t x, uint32_t bpp, uint8_t index) {
  switch (bpp) {
    case 1: {
      const auto bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = (index & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      return;
    }
    case 4: {
      uint8_t& byte = row[x >> 1];
      byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | (index & 0x0F))
                     : static_cast<uint8_t>((byte & 0x0F) | (index << 4));
      return;
    }
    default: row[x] = index; return;
  }
}

// Rows are stored bottom-up: picture row 0 (the top) is the last stored row.
inline uint32_t StoredRowOf(uint32_t height, uint32_t pictureRow) { return height - 1 - pictureRow; }

// Gray value of a colour with the weights the whole system uses (they sum to 1024).
inline uint8_t GrayOf(uint32_t red, uint32_t green, uint32_t blue) {
  return static_cast<uint8_t>((red * 306 + green * 601 + blue * 117) >> 10);
}

// Bytes that hold the pixels of one row (without the padding to 4 bytes).
inline uint32_t PixelBytesOf(uint32_t width, uint32_t bpp) {
  return static_cast<uint32_t>((uint64_t{width} * bpp + 7) / 8);
}

// Asks for `bytes` from `p` on to be brought into the cache (a hint; no effect on results).
inline void PrefetchBytes(const uint8_t* p, size_t bytes) {
  for (size_t offset = 0; offset < bytes; offset += 64) __builtin_prefetch(p + offset);
}

// --- Row kernels (RowKernels.cpp) ---

// gray[x] = GrayOf(pixel x) for `width` pixels stored blue, green, red.
void BgrRowToGray(const uint8_t* bgr, uint8_t* gray, uint32_t width);

// dst = src reversed left to right; rows of `width` pixels of `bpp` bits; dst and src must not
// overlap. Bits past the last pixel of a packed row are written as zero.
void ReverseRow(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t bpp);

// Reverses a 24-bit row in place.
void ReverseRow24InPlace(uint8_t* row, uint32_t width);
// Reverses an 8-bit row in place.
void ReverseRow8InPlace(uint8_t* row, uint32_t width);

// Packs a row of 1-bit pixels: bit set where gray[x] > threshold[x].
void PackGreaterThan(const uint8_t* gray, const uint8_t* threshold, uint8_t* bits, uint32_t width);

// Packs a row of 1-bit pixels from blue, green, red pixels: bit set where
// weights[0] * blue + weights[1] * green + weights[2] * red > limit. Weights lie in -255 .. 255.
void PackWeightedAbove(const uint8_t* bgr, uint8_t* bits, uint32_t width, const int32_t weights[3], int32_t limit);

// Packs one index per pixel (0 or 1) into a row of 1-bit pixels.
void PackBits(const uint8_t* indices, uint8_t* bits, uint32_t width);

}  // namespace imaging
