#pragma once

#include <array>
#include <cstdint>

#include "imaging/CxImage.h"
#include "imaging/kernels/PixelRows.h"

// Helpers shared by the CxImage operations (CxImageOps*.cpp); not part of the image's interface.
namespace imaging {

// Makes `result` a new image of the given size and depth that carries the resolution, frame
// data and format id of `source`. On failure the allocation message is put on `source` too,
// since that is the image whose operation failed.
// With `overwrite` the result's pixel bytes are left unset (CxImage::CreateForOverwrite), for an
// operation that writes every one of them.
bool CreateResultLike(const CxImage& source, CxImage& result, uint32_t width, uint32_t height, uint32_t bpp,
                      bool overwrite = false);

// Swaps the finished `result` into `image`. The image keeps its own progress, escape flag and
// last error: only the picture is replaced.
void AdoptResult(CxImage& image, CxImage& result);

// Progress of a long operation as row * 100 / rows; Continue answers false once the escape
// flag is set, and the operation then stops and leaves the image as it was.
class RowProgress {
 public:
  RowProgress(CxImage& image, uint32_t rows) : image_(image), rows_(rows == 0 ? 1 : rows) {}
  bool Continue(uint32_t row) {
    image_.SetProgress(static_cast<uint32_t>(uint64_t{row} * 100 / rows_));
    return !image_.GetEscape();
  }

 private:
  CxImage& image_;
  uint32_t rows_;
};

// The palette as a full table of 256 entries (zero beyond the image's palette).
std::array<RgbQuad, 256> PaletteTable(const CxImage& image);

// The gray level of each entry of a palette table.
std::array<uint8_t, 256> GrayLevels(const std::array<RgbQuad, 256>& palette);

// Colour of pixel x of a row of any depth (palette images through their palette table).
inline RgbQuad PixelColor(const uint8_t* row, uint32_t x, uint32_t bpp, const std::array<RgbQuad, 256>& palette) {
  if (bpp == 24) return RgbQuad{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
  return palette[GetPackedIndex(row, x, bpp)];
}

// Expands a row of any depth to blue, green, red bytes.
void ExpandRowToBgr(const uint8_t* row, uint32_t width, uint32_t bpp, const std::array<RgbQuad, 256>& palette,
                    uint8_t* bgr);

}  // namespace imaging
