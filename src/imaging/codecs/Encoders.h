#pragma once

#include <cstdint>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/codecs/Result.h"

namespace imaging {

// Encodes with the writer of `formatId`: BMP, PNG, JPEG or TIFF. Other ids fail.
Result<std::vector<uint8_t>> EncodeImage(const CxImage& image, uint32_t formatId);

}  // namespace imaging
