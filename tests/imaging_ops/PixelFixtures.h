#pragma once

#include <cstdint>
#include <functional>

#include "imaging/CxImage.h"

// Small images for the operation tests, addressed in picture coordinates (row 0 at the top).
// Pixel access is written out here on purpose, apart from the library's own row helpers.
namespace fixtures {

inline uint8_t* PictureRow(CxImage& image, uint32_t y) { return image.GetBits(image.GetHeight() - 1 - y); }
inline const uint8_t* PictureRow(const CxImage& image, uint32_t y) {
  return image.GetBits(image.GetHeight() - 1 - y);
}

// Index of a palette pixel, or 0xBBGGRR packed for 24-bit pixels (blue in the high byte).
inline uint32_t PixelAt(const CxImage& image, uint32_t x, uint32_t y) {
  const uint8_t* row = PictureRow(image, y);
  switch (image.GetBpp()) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    case 8: return row[x];
    default: return (uint32_t{row[3 * x]} << 16) | (uint32_t{row[3 * x + 1]} << 8) | row[3 * x + 2];
  }
}

inline void SetPixel(CxImage& image, uint32_t x, uint32_t y, uint32_t value) {
  uint8_t* row = PictureRow(image, y);
  switch (image.GetBpp()) {
    case 1: {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
      row[x / 8] = value ? (row[x / 8] | bit) : (row[x / 8] & ~bit);
      return;
    }
    case 4:
      row[x / 2] = x % 2 ? static_cast<uint8_t>((row[x / 2] & 0xF0) | (value & 0x0F))
                         : static_cast<uint8_t>((row[x / 2] & 0x0F) | (value << 4));
      return;
    case 8: row[x] = static_cast<uint8_t>(value); return;
    default:
      row[3 * x] = static_cast<uint8_t>(value >> 16);
      row[3 * x + 1] = static_cast<uint8_t>(value >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(value);
      return;
  }
}

// 24-bit value for SetPixel/PixelAt from red, green, blue.
constexpr uint32_t Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return (uint32_t{blue} << 16) | (uint32_t{green} << 8) | red;
}

// An image whose every pixel is value(x, y); palette images get the standard palette.
inline CxImage MakeImage(uint32_t width, uint32_t height, uint32_t bpp,
                         const std::function<uint32_t(uint32_t, uint32_t)>& value) {
  CxImage image;
  image.Create(width, height, bpp);
  image.SetStdPalette();
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) SetPixel(image, x, y, value(x, y));
  return image;
}

// A pattern that differs at every position and fits `bpp` bits.
inline uint32_t PatternValue(uint32_t x, uint32_t y, uint32_t bpp) {
  const uint32_t v = x * 7 + y * 13 + (x * y) % 5;
  switch (bpp) {
    case 1: return (x * 3 + y * 5 + x / 3) % 2;
    case 4: return v % 16;
    case 8: return v % 256;
    default: return Rgb(static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(x * 31 + y * 17));
  }
}

inline CxImage MakeGray(uint32_t width, uint32_t height, const std::function<uint8_t(uint32_t, uint32_t)>& level) {
  CxImage image;
  image.Create(width, height, 8);
  image.SetGrayPalette();
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) PictureRow(image, y)[x] = level(x, y);
  return image;
}

}  // namespace fixtures
