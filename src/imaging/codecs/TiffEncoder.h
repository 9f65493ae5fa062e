#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/codecs/Result.h"

namespace imaging {

enum class TiffCompression { Automatic, None, Lzw, PackBits, Deflate, Jpeg, CcittG3, CcittG4 };

struct TiffPage {
  const CxImage* image = nullptr;
  // Automatic: CCITT G4 for black-and-white pages, LZW for the others.
  TiffCompression compression = TiffCompression::Automatic;
};

// One TIFF file with a directory per page. Black-and-white pages are written bilevel
// (CCITT needs that), gray-palette pages as gray, other palette pages with a colour map,
// 24-bit pages as RGB.
Result<std::vector<uint8_t>> EncodeTiff(std::span<const TiffPage> pages);
Result<std::vector<uint8_t>> EncodeTiff(const CxImage& image);

}  // namespace imaging
