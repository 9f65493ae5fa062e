#pragma once

#include <cstdint>

#include "imaging/kernels/PaperKernels.h"

// Vector versions of the colour classification, one per instruction set (each in a source file
// of its own, compiled for that set). Each classifies whole blocks from the start of the row
// and returns how many pixels it covered; the caller classifies the rest.
namespace imaging {

uint32_t ClassifyBlocksSsse3(const uint8_t* row, uint32_t width, const ColorClassifier& classifier, ColorCounts& counts);
uint32_t ClassifyBlocksAvx2(const uint8_t* row, uint32_t width, const ColorClassifier& classifier, ColorCounts& counts);

}  // namespace imaging
