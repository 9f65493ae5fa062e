#pragma once

#include <cstddef>
#include <cstdint>

// Palette entry in the order the bitmap block stores it.
struct RgbQuad {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  uint8_t reserved = 0;

  friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};
static_assert(sizeof(RgbQuad) == 4);

inline constexpr RgbQuad MakeRgb(uint8_t red, uint8_t green, uint8_t blue) {
  return RgbQuad{blue, green, red, 0};
}

// Rectangle in picture coordinates: top = 0 is the first row of the picture (the last stored row).
// right and bottom are exclusive.
struct ImageRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// Little-endian loads and stores; the bitmap block and every file format we parse by hand
// fix their byte order, so nothing here depends on the host's.
inline uint16_t LoadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t LoadBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t LoadBE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void StoreLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// The 40-byte BITMAPINFOHEADER, unpacked into host integers.
struct BitmapInfoHeader {
  static constexpr size_t kSize = 40;

  uint32_t size = kSize;
  int32_t width = 0;
  int32_t height = 0;  // positive: rows stored bottom-up
  uint16_t planes = 1;
  uint16_t bitCount = 0;
  uint32_t compression = 0;  // 0 = BI_RGB
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};

// Reads the header from 40 bytes at `p` (the caller has checked the length).
BitmapInfoHeader ReadInfoHeader(const uint8_t* p);
// Writes the header as 40 little-endian bytes at `p`.
void WriteInfoHeader(uint8_t* p, const BitmapInfoHeader& header);

// Bytes of one stored row: rows are padded to whole 32-bit words.
inline constexpr uint64_t StrideOf(uint64_t width, uint32_t bpp) { return ((width * bpp + 31) >> 5) * 4; }

// Pixels per metre for a resolution in dots per inch, rounded to the nearest integer.
int32_t DpiToPixelsPerMeter(int32_t dpi);
// Dots per inch for a header's pixels per metre, rounded; 0 when the header holds none.
int32_t PixelsPerMeterToDpi(int32_t pixelsPerMeter);
