#pragma once

#include <cstddef>

namespace platform {

// Memory handed to the application, which releases it with free(): containers and transfer
// bitmaps. A handle and its locked pointer are the same address.
void* GlobalAllocZeroed(std::size_t bytes);  // nullptr on failure or for zero bytes
void GlobalFree(void* block);                // accepts nullptr

}  // namespace platform
