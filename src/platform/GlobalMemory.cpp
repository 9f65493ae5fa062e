#include "platform/GlobalMemory.h"

#include <cstdlib>

namespace platform {

void* GlobalAllocZeroed(std::size_t bytes) {
  if (bytes == 0) return nullptr;
  return std::calloc(1, bytes);
}

void GlobalFree(void* block) { std::free(block); }

}  // namespace platform
