// Loading with detection, as the data source loads every file: all decoders, in order,
// including the library-backed ones.

#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/CxImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CxImage image;
  (void)image.Decode(std::span<const uint8_t>(data, size), ImageFormat::Unknown);
  return 0;
}
