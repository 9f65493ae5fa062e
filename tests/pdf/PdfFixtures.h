#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "pdf/PdfWriter.h"

// Files and pixel checks shared by the PDF tests.
namespace test_pdf {

// A copy of `plain` locked with the user password `password` (AES-256, by qpdf). Throws when
// qpdf fails.
void WriteLockedCopy(const std::filesystem::path& plain, const std::filesystem::path& locked,
                     const std::string& password);

// A file that starts like a PDF and then holds nothing a reader can use.
void WriteDamagedPdf(const std::filesystem::path& path);

// Pixels in blue, green, red order, as bitmaps and images store them.
struct Bgr {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  friend bool operator==(const Bgr&, const Bgr&) = default;
};
inline constexpr Bgr kWhitePixel{255, 255, 255};
inline constexpr Bgr kRedPixel{0, 0, 255};
inline constexpr Bgr kGreenPixel{0, 255, 0};
inline constexpr Bgr kBluePixel{255, 0, 0};

inline Bgr PixelAt(const uint8_t* row, int32_t x, int bytesPerPixel = 3) {
  const uint8_t* p = row + static_cast<size_t>(x) * bytesPerPixel;
  return {p[0], p[1], p[2]};
}

std::string Describe(const Bgr& pixel);
inline void PrintTo(const Bgr& pixel, std::ostream* out) { *out << Describe(pixel); }

}  // namespace test_pdf
