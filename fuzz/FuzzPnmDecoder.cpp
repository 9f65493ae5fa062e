#include "FuzzDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzDecoder(ImageFormat::Pnm, data, size);
}
