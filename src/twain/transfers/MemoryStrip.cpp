#include "twain/transfers/MemoryStrip.h"

#include <algorithm>
#include <cstring>

#include "imaging/CxImage.h"
#include "imaging/kernels/CpuFeatures.h"

#if VELLORAN_X86_SIMD
#include <immintrin.h>
#endif

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

void BgrToRgbScalar(const uint8_t* bgr, uint8_t* rgb, uint32_t pixels) {
  for (uint32_t i = 0; i < pixels; ++i, bgr += 3, rgb += 3) {
    const uint8_t blue = bgr[0];
    rgb[0] = bgr[2];
    rgb[1] = bgr[1];
    rgb[2] = blue;
  }
}

#if VELLORAN_X86_SIMD
// Five pixels per step: 16 bytes in, the first 15 turned around pixel by pixel, 16 bytes out.
// The 16th byte written is the next pixel's first, which the next step (or the scalar tail)
// writes again, so a step runs only while 16 bytes of pixels are left.
__attribute__((target("ssse3"))) void BgrToRgbSsse3(const uint8_t* bgr, uint8_t* rgb, uint32_t pixels) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  uint32_t done = 0;
  for (; (pixels - done) * 3 >= 16; done += 5) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 3 * done));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + 3 * done), _mm_shuffle_epi8(in, order));
  }
  BgrToRgbScalar(bgr + 3 * done, rgb + 3 * done, pixels - done);
}
#endif

}  // namespace

void BgrToRgb(const uint8_t* bgr, uint8_t* rgb, uint32_t pixels) {
#if VELLORAN_X86_SIMD
  if (imaging::CpuHasSsse3()) {
    BgrToRgbSsse3(bgr, rgb, pixels);
    return;
  }
#endif
  BgrToRgbScalar(bgr, rgb, pixels);
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
