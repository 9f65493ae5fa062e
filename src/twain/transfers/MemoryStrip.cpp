#include "twain/transfers/MemoryStrip.h"

#include <algorithm>
#include <cstring>

#include "imaging/CxImage.h"

namespace {

// Picture row `row` from the top; the block stores the bottom row first.
const uint8_t* PictureRow(const CxImage& image, uint32_t row) { return image.GetBits(image.GetHeight() - 1 - row); }

void CopyRow(const CxImage& image, const uint8_t* stored, uint8_t* out, uint32_t bytesPerRow) {
  uint32_t written = 0;
  if (image.GetBpp() == 24) {
    // Whole pixels only: a row length that is not a multiple of 3 leaves a partial group.
    const uint32_t pixels = std::min(image.GetWidth(), bytesPerRow / 3);
    BgrToRgb(stored, out, pixels);
    written = pixels * 3;
  } else {
    // The stored row is never read past its end, whatever row length the caller asks for.
    written = std::min(bytesPerRow, image.GetEffWidth());
    std::memcpy(out, stored, written);
  }
  std::memset(out + written, 0, bytesPerRow - written);
}

}  // namespace

void BgrToRgb(const uint8_t* bgr, uint8_t* rgb, uint32_t pixels) {
  for (uint32_t i = 0; i < pixels; ++i, bgr += 3, rgb += 3) {
    const uint8_t blue = bgr[0];
    rgb[0] = bgr[2];
    rgb[1] = bgr[1];
    rgb[2] = blue;
  }
}

MemoryStrip WriteMemoryStrip(const CxImage& image, uint32_t bytesPerRow, uint32_t firstRow, uint8_t* buffer,
                             uint32_t length) {
  MemoryStrip strip;
  if (!image.IsValid() || bytesPerRow == 0 || buffer == nullptr || firstRow >= image.GetHeight()) return strip;
  strip.rows = std::min(image.GetHeight() - firstRow, length / bytesPerRow);
  strip.bytesWritten = strip.rows * bytesPerRow;
  for (uint32_t i = 0; i < strip.rows; ++i) {
    CopyRow(image, PictureRow(image, firstRow + i), buffer + size_t{i} * bytesPerRow, bytesPerRow);
  }
  return strip;
}
