#include "platform/PixelMemory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// Under AddressSanitizer every block comes from the heap, where an overrun is caught at its
// first byte rather than lost in the rest of a mapping.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapPages = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapPages = false;
#else
constexpr bool kMapPages = true;
#endif
#else
constexpr bool kMapPages = true;
#endif

PixelMemory MapZeroed(size_t length) {
  // One huge page more than needed, so that an aligned start can be cut out of it.
  void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return {};
  auto* start = static_cast<uint8_t*>(raw);
  auto* aligned = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1));
  if (aligned > start) munmap(start, static_cast<size_t>(aligned - start));
  const size_t tail = static_cast<size_t>(start + length + kHugePage - (aligned + length));
  if (tail > 0) munmap(aligned + length, tail);
  // Only advice: without huge pages the mapping works the same.
  madvise(aligned, length, MADV_HUGEPAGE);
  return {aligned, length};
}

// The one kept block. Blocks are freed on whatever thread drops the last image, so it is locked.
class SpareBlock {
 public:
  ~SpareBlock() { Release(); }

  // The kept block when it holds `length` bytes without wasting more than a quarter of itself.
  PixelMemory TakeFitting(size_t length) {
    const std::lock_guard lock(mutex_);
    if (spare_.data == nullptr || spare_.mapped < length || spare_.mapped - length > spare_.mapped / 4) return {};
    const PixelMemory taken = spare_;
    spare_ = {};
    return taken;
  }

  // Keeps `memory` when nothing is kept, else returns it to the system.
  void Offer(PixelMemory memory) {
    {
      const std::lock_guard lock(mutex_);
      if (spare_.data == nullptr) {
        spare_ = memory;
        return;
      }
    }
    munmap(memory.data, memory.mapped);
  }

  void Release() {
    PixelMemory released;
    {
      const std::lock_guard lock(mutex_);
      released = spare_;
      spare_ = {};
    }
    if (released.data != nullptr) munmap(released.data, released.mapped);
  }

  size_t Bytes() {
    const std::lock_guard lock(mutex_);
    return spare_.mapped;
  }

 private:
  std::mutex mutex_;
  PixelMemory spare_;
};

SpareBlock g_spare;

}  // namespace

PixelMemory AllocatePixelMemory(size_t bytes, size_t zeroBytes) {
  if (bytes < kHugePage || !kMapPages) return {static_cast<uint8_t*>(std::calloc(bytes == 0 ? 1 : bytes, 1)), 0};
  if (bytes > SIZE_MAX - 2 * kHugePage) return {};
  const size_t length = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  if (const PixelMemory kept = g_spare.TakeFitting(length); kept.data != nullptr) {
    std::memset(kept.data, 0, std::min(bytes, zeroBytes));
    return kept;
  }
  return MapZeroed(length);
}

void FreePixelMemory(PixelMemory memory) {
  if (memory.data == nullptr) return;
  if (memory.mapped == 0) {
    std::free(memory.data);
  } else {
    g_spare.Offer(memory);
  }
}

void ReleaseSparePixelMemory() { g_spare.Release(); }

bool PixelMemoryRecyclesPages() { return kMapPages; }

size_t SparePixelMemoryBytes() { return g_spare.Bytes(); }

}  // namespace platform
