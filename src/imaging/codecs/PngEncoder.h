#pragma once

#include <cstdint>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/codecs/Result.h"

namespace imaging {

// PNG through libpng: an even gray palette becomes a gray image, other palettes a palette
// image, 24-bit an RGB image; the resolution goes into pHYs.
Result<std::vector<uint8_t>> EncodePng(const CxImage& image);

}  // namespace imaging
