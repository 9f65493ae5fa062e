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

// Intensity (b + g + r) / 3 of a pixel.
inline uint32_t IntensityOf(const uint8_t* pixel) { return (pixel[0] + pixel[1] + pixel[2]) / 3u; }

// A 256-bin histogram of pixel intensities. Counts go to four interleaved copies so that runs
// of equal levels do not wait on each other's increments.
class IntensityHistogram {
 public:
  // Pixels [begin, end) of a row.
  void AddRow(const uint8_t* row, uint32_t begin, uint32_t end);
  std::array<uint32_t, 256> Total() const;

 private:
  std::array<std::array<uint32_t, 256>, 4> counts_{};
};

// One 256-bin histogram per channel (blue, green, red), four interleaved copies each.
class ChannelHistograms {
 public:
  // Pixels [begin, end) of a row.
  void AddRow(const uint8_t* row, uint32_t begin, uint32_t end);
  std::array<std::array<uint32_t, 256>, 3> Total() const;

 private:
  std::array<std::array<std::array<uint32_t, 256>, 4>, 3> counts_{};
};

// Everything the colour classification needs to know, fixed for one page.
struct ColorClassifier {
  int32_t grayLimit = 12;
  int32_t blackDistance = 800000;
  int32_t whiteDistance = 50000;
  // 0: dark margins (light pixels are the content), 1 or 2: mid-tone or light margins.
  int32_t mode = 0;
  // Intensities [examinedLow, examinedHigh] are examined.
  uint8_t examinedLow = 0;
  uint8_t examinedHigh = 255;
};

struct ColorCounts {
  uint64_t colour = 0;
  uint64_t other = 0;
};

// Classifies the pixels of one row and adds the colour pixels and the other content pixels.
void ClassifyRow(const uint8_t* row, uint32_t width, const ColorClassifier& classifier, ColorCounts& counts);

}  // namespace imaging
