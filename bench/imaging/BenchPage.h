#pragma once

// The page every imaging benchmark works on, made the same way on every run: 2550 x 3300
// pixels (US Letter at 300 dpi), lines of text-like strokes on tinted paper, a red stamp, a
// blue signature, a yellow highlight and a little noise. Its encodings are made once and kept
// in memory. Everything is built on first use and lives until the process ends.

#include <cstdint>
#include <vector>

#include "imaging/CxImage.h"

namespace bench {

inline constexpr uint32_t kPageWidth = 2550;
inline constexpr uint32_t kPageHeight = 3300;
inline constexpr int32_t kPageDpi = 300;

// The page, 24-bit.
const CxImage& Page();
// The page thresholded to black (index 0) and white (index 1).
const CxImage& BilevelPage();

// The page encoded: JPEG (quality 90), PNG, TIFF with LZW, and the bilevel page as TIFF G4.
const std::vector<uint8_t>& PageJpeg();
const std::vector<uint8_t>& PagePng();
const std::vector<uint8_t>& PageTiffLzw();
const std::vector<uint8_t>& PageTiffG4();

// Declares that `benchmark` is reported as a ratio to `reference` (both are benchmark names
// as Google Benchmark prints them). Returns 0 so that it can initialise a static:
//   static const int kRatio = bench::RegisterRatio("BM_Decode/jpeg", "BM_Reference/libjpeg");
int RegisterRatio(const char* benchmark, const char* reference);

struct Ratio {
  const char* benchmark;
  const char* reference;
};
const std::vector<Ratio>& Ratios();

}  // namespace bench
