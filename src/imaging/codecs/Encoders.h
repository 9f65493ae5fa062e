#pragma once

#include <cstdint>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/codecs/Result.h"

namespace imaging {

// Encodes with the writer of `formatId`: BMP, PNG, JPEG or TIFF. Other ids fail.
// `out` is replaced; its memory is reused where the encoder allows.
Status EncodeImage(const CxImage& image, uint32_t formatId, std::vector<uint8_t>& out);

}  // namespace imaging
