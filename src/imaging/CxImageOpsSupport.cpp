#include "imaging/CxImageOpsSupport.h"

#include <cstring>

namespace imaging {

bool CreateResultLike(const CxImage& source, CxImage& result, uint32_t width, uint32_t height, uint32_t bpp,
                      bool overwrite) {
  const bool created = overwrite ? result.CreateForOverwrite(width, height, bpp, source.GetType())
                                 : result.Create(width, height, bpp, source.GetType());
  if (!created) {
    source.SetLastError(result.GetLastError());
    return false;
  }
  result.SetXDPI(source.GetXDPI());
  result.SetYDPI(source.GetYDPI());
  result.SetNumFrames(source.GetNumFrames());
  result.SetFrame(source.GetFrame());
  return true;
}

void AdoptResult(CxImage& image, CxImage& result) {
  result.SetProgress(image.GetProgress());
  result.SetEscape(image.GetEscape());
  result.SetLastError(image.GetLastError());
  image.SwapWith(result);
}

std::array<RgbQuad, 256> PaletteTable(const CxImage& image) {
  std::array<RgbQuad, 256> table{};
  const RgbQuad* palette = image.GetPalette();
  const uint32_t count = image.GetNumColors() < 256 ? image.GetNumColors() : 256;
  if (palette) std::memcpy(table.data(), palette, count * sizeof(RgbQuad));
  return table;
}

std::array<uint8_t, 256> GrayLevels(const std::array<RgbQuad, 256>& palette) {
  std::array<uint8_t, 256> levels{};
  for (size_t i = 0; i < 256; ++i) levels[i] = GrayOf(palette[i].red, palette[i].green, palette[i].blue);
  return levels;
}

void ExpandRowToBgr(const uint8_t* row, uint32_t width, uint32_t bpp, const std::array<RgbQuad, 256>& palette,
                    uint8_t* bgr) {
  if (bpp == 24) {
    std::memcpy(bgr, row, size_t{width} * 3);
    return;
  }
  for (uint32_t x = 0; x < width; ++x) {
    const RgbQuad c = palette[GetPackedIndex(row, x, bpp)];
    bgr[3 * x] = c.blue;
    bgr[3 * x + 1] = c.green;
    bgr[3 * x + 2] = c.red;
  }
}

}  // namespace imaging
