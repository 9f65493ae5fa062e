#pragma once

#include <cstdint>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/codecs/Result.h"

namespace imaging {

// A Windows BMP file: the 14-byte file header followed by the image's block exactly as it is
// held (info header, palette, bottom-up rows).
Result<std::vector<uint8_t>> EncodeBmp(const CxImage& image);

}  // namespace imaging
