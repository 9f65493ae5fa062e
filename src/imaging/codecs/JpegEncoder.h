#pragma once

#include <cstdint>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/codecs/Result.h"

namespace imaging {

// JPEG through libjpeg-turbo: 24-bit images as colour, palette images whose entries are all
// gray as grayscale; any other palette image is refused.
Result<std::vector<uint8_t>> EncodeJpeg(const CxImage& image, int quality = 90);

}  // namespace imaging
