#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SaneSession.h"

namespace sanenet {

// A scanned page, top row first: 1 bit per pixel (1 = black, as the scanner sends it), 8-bit
// gray or 8-bit RGB.
struct PageImage {
  uint32_t width = 0;
  uint32_t height = 0;
  int bitsPerPixel = 0;  // 1, 8 or 24
  std::vector<uint8_t> pixels;

  size_t Stride() const { return (size_t(width) * bitsPerPixel + 7) / 8; }
};

// The page that one gray or colour frame, or three single-colour frames, make; 16-bit samples
// become 8-bit. Throws SaneError for frames that do not make a page (a short image, an unknown
// frame format, parameters that contradict each other). A frame's bytes may become the page's.
PageImage AssemblePage(std::vector<Frame> frames);

// The page turned a quarter clockwise (portrait to landscape).
PageImage RotatedClockwise(const PageImage& page);

// Writes the page as a PNG file (1-bit gray for line art). Throws SaneError when it cannot.
void WritePng(const PageImage& page, const std::string& path);

}  // namespace sanenet
