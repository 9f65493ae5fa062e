#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Pixel loops of the background filter and the colour detector, over rows of 24-bit pixels
// stored blue, green, red.
namespace imaging {

// Per-channel inclusive ranges (blue, green, red) and the colour that replaces a pixel whose
// three channels all lie within them.
struct PaperRange {
  std::array<uint8_t, 3> low{};
  std::array<uint8_t, 3> high{};
  std::array<uint8_t, 3> replacement{};
};

// dst = src with every in-range pixel replaced.
void ReplacePaperRow(const uint8_t* src, uint8_t* dst, uint32_t width, const PaperRange& range);

// Intensity (b + g + r) / 3 of pixels [begin, end) of a row added to a 256-bin histogram.
void AddIntensities(const uint8_t* row, uint32_t begin, uint32_t end, uint32_t* histogram);

// Everything the colour classification needs to know, fixed for one page.
struct ColorClassifier {
  int32_t grayLimit = 12;
  int32_t blackDistance = 800000;
  int32_t whiteDistance = 50000;
  // 0: dark margins (light pixels are the content), 1 or 2: mid-tone or light margins.
  int32_t mode = 0;
  // Intensities that are examined at all.
  std::array<uint8_t, 256> examined{};
};

struct ColorCounts {
  uint64_t colour = 0;
  uint64_t other = 0;
};

// Classifies the pixels of one row and adds the colour pixels and the other content pixels.
void ClassifyRow(const uint8_t* row, uint32_t width, const ColorClassifier& classifier, ColorCounts& counts);

}  // namespace imaging
