#include "twain/transfers/ImageDescription.h"

#include <algorithm>
#include <iterator>

#include "imaging/CxImage.h"

TW_INT16 TransferPixelType(const CxImage& image) {
  if (image.GetBpp() == 1) return TWPT_BW;
  if (image.IsGrayRamp()) return TWPT_GRAY;
  if (image.GetBpp() <= 8) return TWPT_PALETTE;
  return TWPT_RGB;
}

void DescribeImage(const CxImage& image, TW_IMAGEINFO& info) {
  info.XResolution = FloatToFix32(image.GetXDPI());
  info.YResolution = FloatToFix32(image.GetYDPI());
  info.ImageWidth = static_cast<TW_INT32>(image.GetWidth());
  info.ImageLength = static_cast<TW_INT32>(image.GetHeight());
  const auto bpp = static_cast<TW_INT16>(image.GetBpp());
  std::fill(std::begin(info.BitsPerSample), std::end(info.BitsPerSample), TW_INT16{0});
  if (bpp > 23) {
    info.SamplesPerPixel = 3;
    std::fill_n(info.BitsPerSample, 3, TW_INT16{8});
  } else {
    info.SamplesPerPixel = 1;
    info.BitsPerSample[0] = bpp;
  }
  info.BitsPerPixel = bpp;
  info.Planar = TW_FALSE;
  info.PixelType = TransferPixelType(image);
  info.Compression = TWCP_NONE;
}

void DescribePalette(const CxImage& image, TW_PALETTE8& palette) {
  palette.PaletteType = image.IsGrayRamp() ? TWPA_GRAY : TWPA_RGB;
  const uint32_t colors = std::min<uint32_t>(image.GetNumColors(), std::size(palette.Colors));
  palette.NumColors = static_cast<TW_UINT16>(colors);
  for (uint32_t i = 0; i < colors; ++i) {
    const RgbQuad entry = image.GetPaletteColor(i);
    palette.Colors[i].Index = static_cast<TW_UINT8>(i);
    palette.Colors[i].Channel1 = entry.red;
    palette.Colors[i].Channel2 = entry.green;
    palette.Colors[i].Channel3 = entry.blue;
  }
}
