#pragma once

// Images for tests, made in memory the same way every time. Header-only so that every test
// area can use it: include "imaging/ImageFixtures.h".

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imaging/CxImage.h"

namespace fixtures {

// Colour of the picture pixel (x, y), y = 0 the top row, through the palette for palette images.
inline RgbQuad PixelAt(const CxImage& image, uint32_t x, uint32_t y) {
  if (!image.IsValid() || x >= image.GetWidth() || y >= image.GetHeight()) {
    ADD_FAILURE() << "no pixel (" << x << ", " << y << ") in a " << image.GetWidth() << " x " << image.GetHeight() << " image";
    return RgbQuad{};
  }
  const uint8_t* row = image.GetBits(image.GetHeight() - 1 - y);
  switch (image.GetBpp()) {
    case 1: return image.GetPaletteColor((row[x / 8] >> (7 - x % 8)) & 1);
    case 4: return image.GetPaletteColor((row[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F);
    case 8: return image.GetPaletteColor(row[x]);
    default: return RgbQuad{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
  }
}

// Palette index of the picture pixel (x, y) of a 1-, 4- or 8-bit image.
inline uint32_t IndexAt(const CxImage& image, uint32_t x, uint32_t y) {
  if (!image.IsValid() || x >= image.GetWidth() || y >= image.GetHeight() || image.GetBpp() > 8) {
    ADD_FAILURE() << "no palette pixel (" << x << ", " << y << ")";
    return 0;
  }
  const uint8_t* row = image.GetBits(image.GetHeight() - 1 - y);
  switch (image.GetBpp()) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return (row[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F;
    default: return row[x];
  }
}

// Sets the picture pixel (x, y): an index for palette images, a colour for 24-bit ones.
inline void SetIndex(CxImage& image, uint32_t x, uint32_t y, uint32_t index) {
  uint8_t* row = image.GetBits(image.GetHeight() - 1 - y);
  switch (image.GetBpp()) {
    case 1:
      row[x / 8] = static_cast<uint8_t>((row[x / 8] & ~(0x80 >> (x % 8))) | ((index & 1) << (7 - x % 8)));
      return;
    case 4:
      row[x / 2] = (x & 1) ? static_cast<uint8_t>((row[x / 2] & 0xF0) | (index & 0x0F))
                           : static_cast<uint8_t>((row[x / 2] & 0x0F) | (index << 4));
      return;
    default:
      row[x] = static_cast<uint8_t>(index);
  }
}
inline void SetColor(CxImage& image, uint32_t x, uint32_t y, RgbQuad c) {
  uint8_t* p = image.GetBits(image.GetHeight() - 1 - y) + 3 * x;
  p[0] = c.blue;
  p[1] = c.green;
  p[2] = c.red;
}

// A 24-bit image whose every pixel differs from its neighbours in all three channels.
inline CxImage MakeColorImage(uint32_t width, uint32_t height) {
  CxImage image;
  image.Create(width, height, 24);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      SetColor(image, x, y,
               MakeRgb(static_cast<uint8_t>(x * 37 + y * 11), static_cast<uint8_t>(x * 5 + y * 53 + 7),
                       static_cast<uint8_t>((x ^ y) * 29 + 3)));
  return image;
}

// An 8-bit gray-ramp image with a diagonal gradient.
inline CxImage MakeGrayImage(uint32_t width, uint32_t height) {
  CxImage image;
  image.Create(width, height, 8);
  image.SetGrayPalette();
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) SetIndex(image, x, y, (x * 7 + y * 13) & 0xFF);
  return image;
}

// A palette image of 1, 4 or 8 bits: distinct colours, every index used in a pattern.
inline CxImage MakePaletteImage(uint32_t width, uint32_t height, uint32_t bpp) {
  CxImage image;
  image.Create(width, height, bpp);
  const uint32_t colors = image.GetNumColors();
  for (uint32_t i = 0; i < colors; ++i)
    image.SetPaletteColor(i, MakeRgb(static_cast<uint8_t>(i * 255 / (colors - 1)), static_cast<uint8_t>(i * 97),
                                     static_cast<uint8_t>(255 - i * 31)));
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) SetIndex(image, x, y, (x + 3 * y + x * y) % colors);
  return image;
}

// A 1-bit black (0) and white (1) image with a checkerboard of 3-pixel squares and a frame.
inline CxImage MakeBilevelImage(uint32_t width, uint32_t height) {
  CxImage image;
  image.Create(width, height, 1);
  image.SetPaletteColor(0, MakeRgb(0, 0, 0));
  image.SetPaletteColor(1, MakeRgb(255, 255, 255));
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const bool frame = x == 0 || y == 0 || x + 1 == width || y + 1 == height;
      SetIndex(image, x, y, frame ? 0 : ((x / 3 + y / 3) & 1));
    }
  return image;
}

// A small document page: tinted paper, dark text-like strokes, one coloured stamp, 24-bit.
inline CxImage MakeTestPage(uint32_t width, uint32_t height, int32_t dpi = 300) {
  CxImage image;
  image.Create(width, height, 24);
  image.SetXDPI(dpi);
  image.SetYDPI(dpi);
  const RgbQuad paper = MakeRgb(246, 240, 222);
  const RgbQuad ink = MakeRgb(24, 24, 32);
  const RgbQuad stamp = MakeRgb(200, 30, 40);
  const uint32_t lineHeight = std::max<uint32_t>(4, height / 20);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      RgbQuad c = paper;
      const uint32_t inLine = y % lineHeight;
      const bool textRow = y > height / 10 && y < height * 9 / 10 && inLine >= lineHeight / 4 && inLine < lineHeight * 3 / 4;
      const bool textColumn = x > width / 10 && x < width * 9 / 10 && ((x / 2 + y / lineHeight * 3) % 7) < 4;
      if (textRow && textColumn) c = ink;
      if (x > width * 7 / 10 && x < width * 9 / 10 && y < height / 8 && y > height / 40) c = stamp;
      SetColor(image, x, y, c);
    }
  return image;
}

// True when both images have the same size and every pixel the same colour (palettes may differ).
inline ::testing::AssertionResult SameColors(const CxImage& expected, const CxImage& actual, int tolerance = 0) {
  if (!actual.IsValid()) return ::testing::AssertionFailure() << "image is empty: " << actual.GetLastError();
  if (expected.GetWidth() != actual.GetWidth() || expected.GetHeight() != actual.GetHeight())
    return ::testing::AssertionFailure() << "size " << actual.GetWidth() << "x" << actual.GetHeight() << ", expected "
                                         << expected.GetWidth() << "x" << expected.GetHeight();
  for (uint32_t y = 0; y < expected.GetHeight(); ++y)
    for (uint32_t x = 0; x < expected.GetWidth(); ++x) {
      const RgbQuad a = PixelAt(expected, x, y);
      const RgbQuad b = PixelAt(actual, x, y);
      if (std::abs(a.red - b.red) > tolerance || std::abs(a.green - b.green) > tolerance ||
          std::abs(a.blue - b.blue) > tolerance)
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << ") is (" << int(b.red) << ", " << int(b.green) << ", " << int(b.blue)
               << "), expected (" << int(a.red) << ", " << int(a.green) << ", " << int(a.blue) << ")";
    }
  return ::testing::AssertionSuccess();
}

}  // namespace fixtures
