#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/Result.h"

namespace imaging {

// Checks that directory `index` of a TIFF file, every tag value it points to, and every strip
// or tile it lists lie inside the file. libtiff reads a cut-off file leniently: a colour map
// or resolution past the end is dropped with a warning and the page decodes in the wrong
// colours. A file still being uploaded must fail instead.
Status CheckTiffDirectory(std::span<const uint8_t> bytes, uint32_t index);

}  // namespace imaging
