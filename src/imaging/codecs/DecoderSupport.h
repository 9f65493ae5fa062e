#pragma once

// Helpers shared by the decoders of this folder only.

#include <cstdint>
#include <string>

#include "imaging/CxImage.h"
#include "imaging/ImageLimits.h"
#include "imaging/codecs/Result.h"

namespace imaging {

// "BMP: image too large (70000 x 70000)": `what` names the format.
inline std::string TooLargeText(const char* what, uint64_t width, uint64_t height) {
  return std::string(what) + ": image too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
}

// Why an image of this size cannot come from a file of `fileBytes`, or an empty string:
// the size limit and the decompression bomb guard. `what` names the format ("BMP").
inline std::string SizeProblem(uint64_t width, uint64_t height, uint32_t bpp, uint64_t fileBytes, const char* what) {
  const std::string size = std::to_string(width) + " x " + std::to_string(height);
  if (width == 0 || height == 0) return std::string(what) + ": image has no pixels";
  if (width > UINT32_MAX || height > UINT32_MAX || !WithinImageLimit(width, height, bpp))
    return TooLargeText(what, width, height);
  if (!PlausibleForFile(width, height, bpp, fileBytes))
    return std::string(what) + ": an image of " + size + " cannot come from " + std::to_string(fileBytes) + " bytes";
  return {};
}

// A new image of the given size, after the checks of SizeProblem; its rows and palette start
// zeroed.
// `overwrite`: the decoder writes every pixel byte or fails, so the pixels need not be cleared
// first (CxImage::CreateForOverwrite).
inline Result<CxImage> NewImage(uint64_t width, uint64_t height, uint32_t bpp, uint32_t formatId, const char* what,
                                uint64_t fileBytes, bool overwrite = false) {
  if (auto problem = SizeProblem(width, height, bpp, fileBytes, what); !problem.empty()) return Error{problem};
  CxImage image(formatId);
  const auto w = static_cast<uint32_t>(width);
  const auto h = static_cast<uint32_t>(height);
  const bool created = overwrite ? image.CreateForOverwrite(w, h, bpp, formatId) : image.Create(w, h, bpp, formatId);
  if (!created) return Error{image.GetLastError()};
  return image;
}

// Sets a 1-bit image's palette to (first, second).
inline void SetTwoColors(CxImage& image, RgbQuad first, RgbQuad second) {
  image.SetPaletteColor(0, first);
  image.SetPaletteColor(1, second);
}

inline constexpr RgbQuad kBlack = MakeRgb(0, 0, 0);
inline constexpr RgbQuad kWhite = MakeRgb(255, 255, 255);

// Picture row y (0 = top) as stored bottom-up.
inline uint8_t* PictureRow(CxImage& image, uint32_t y) { return image.GetBits(image.GetHeight() - 1 - y); }

// Sets the resolution from pixels per metre, keeping 96 dpi when the file gives none.
inline void SetResolutionFromPixelsPerMeter(CxImage& image, int32_t xPpm, int32_t yPpm) {
  image.SetXDPI(PixelsPerMeterToDpi(xPpm));
  image.SetYDPI(PixelsPerMeterToDpi(yPpm));
}

// Sets the resolution from a value in dots per inch (unit 1), per centimetre (unit 2) or none.
void SetResolution(CxImage& image, double x, double y, int unit);

}  // namespace imaging
