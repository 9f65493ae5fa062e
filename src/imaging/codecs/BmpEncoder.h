#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/codecs/Result.h"

namespace imaging {

// A Windows BMP file: the 14-byte file header followed by the image's block exactly as it is
// held (info header, palette, bottom-up rows).
Result<std::vector<uint8_t>> EncodeBmp(const CxImage& image);
// The same into `out`, whose memory is reused when it is large enough.
Status EncodeBmpInto(const CxImage& image, std::vector<uint8_t>& out);
// The 14-byte file header that goes in front of the image's block.
std::array<uint8_t, 14> BmpFileHeader(const CxImage& image);

}  // namespace imaging
