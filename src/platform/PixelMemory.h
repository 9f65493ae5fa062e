#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Zeroed memory for pixel blocks. Page-sized blocks (2 MiB and more) are mapped from the system,
// aligned for huge pages and asking for them, and outside the C heap; smaller ones come from the
// heap. A freed page-sized block is kept as the one spare and handed to the next allocation it
// fits: a scan builds and frees one page-sized block after another, and a fresh 25 MB mapping
// costs thousands of page faults where clearing a kept one costs a memset.
struct PixelMemory {
  uint8_t* data = nullptr;
  size_t mapped = 0;  // bytes mapped from the system; 0 when the block came from the heap
};

// nullptr data when the memory cannot be had. The first `zeroBytes` bytes (all by default) are
// zero; past them a kept block may still hold an earlier picture of this process, for callers
// that write every byte there themselves.
PixelMemory AllocatePixelMemory(size_t bytes, size_t zeroBytes = SIZE_MAX);
// Takes what AllocatePixelMemory returned; null data is ignored.
void FreePixelMemory(PixelMemory memory);
// Gives the spare block back to the system (a scan has ended). Also done at unload.
void ReleaseSparePixelMemory();
// The bytes the spare holds (0 when there is none).
size_t SparePixelMemoryBytes();
// False in builds with AddressSanitizer, where every block comes from the heap.
bool PixelMemoryRecyclesPages();

}  // namespace platform
