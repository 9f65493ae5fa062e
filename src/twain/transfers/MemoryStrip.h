#pragma once

#include <cstdint>

class CxImage;

// One strip of the buffered memory transfer: the rows of a page from `firstRow` on (counted
// from the top of the picture), as many whole rows as the application's buffer holds.
struct MemoryStrip {
  uint32_t rows = 0;          // rows written
  uint32_t bytesWritten = 0;  // rows * bytesPerRow
};

// Writes the strip into `buffer` (`length` bytes). Each row takes `bytesPerRow` bytes: 24-bit
// pixels turned from the stored blue, green, red into red, green, blue, other depths as stored;
// bytes past the row's pixels are zero. Reads the stored rows straight from the page, no copy in
// between. No rows when the buffer cannot hold one row or `firstRow` is past the last row.
MemoryStrip WriteMemoryStrip(const CxImage& image, uint32_t bytesPerRow, uint32_t firstRow, uint8_t* buffer,
                             uint32_t length);

// Stored blue, green, red pixels to red, green, blue; `pixels` of them.
void BgrToRgb(const uint8_t* bgr, uint8_t* rgb, uint32_t pixels);
