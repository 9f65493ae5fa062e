#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace twacquire {

// Bytes of a bitmap block (40-byte header, colour table, rows) as its header describes it; 0
// when the header is not one twacquire understands (BI_RGB, 1/4/8/24 bits).
std::size_t BitmapBlockSize(const uint8_t* block);

// Writes a BMP file: the file header, then the block as it is.
bool WriteBmpFromBlock(const std::string& path, const uint8_t* block, std::size_t size, std::string& error);

// A page rebuilt from memory-transfer strips: rows top-down, as the source sent them (24-bit
// pixels red, green, blue), each `bytesPerRow` long.
struct StripPage {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;
  uint32_t bytesPerRow = 0;
  double xDpi = 0;
  double yDpi = 0;
  std::vector<uint8_t> palette;  // blue, green, red, 0 per entry
  std::vector<uint8_t> rows;
};

// Writes the page as a BMP file (bottom-up rows, blue, green, red).
bool WriteBmpFromStrips(const std::string& path, const StripPage& page, std::string& error);

}  // namespace twacquire
