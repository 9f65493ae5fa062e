#include "platform/Bitmap.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

namespace platform {
namespace {

thread_local int lastDrawingError = 0;

constexpr size_t kHugePage = size_t{2} << 20;

// Zeroed pixel memory. Page-sized bitmaps are mapped straight from the system, aligned for
// huge pages and asking for them: a fresh 25 MB page then costs a dozen page faults instead of
// six thousand, and it stays out of the C heap, whose large blocks the renderer and the image
// object can then reuse page after page instead of faulting in fresh ones. Small bitmaps come
// from the heap. Returns nullptr on failure; `mapped` is what FreePixels needs.
uint8_t* AllocatePixels(size_t bytes, size_t& mapped) {
  mapped = 0;
  if (bytes < kHugePage) return static_cast<uint8_t*>(std::calloc(bytes, 1));
  const size_t length = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  auto* start = static_cast<uint8_t*>(raw);
  auto* aligned = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1));
  if (aligned > start) munmap(start, static_cast<size_t>(aligned - start));
  const size_t tail = static_cast<size_t>(start + length + kHugePage - (aligned + length));
  if (tail > 0) munmap(aligned + length, tail);
  // Only advice: without huge pages the mapping works the same.
  madvise(aligned, length, MADV_HUGEPAGE);
  mapped = length;
  return aligned;
}

void FreePixels(uint8_t* pixels, size_t mapped) {
  if (mapped > 0) {
    munmap(pixels, mapped);
  } else {
    std::free(pixels);
  }
}

template <typename T>
T Fail(int code) {
  lastDrawingError = code;
  return T();
}

void Deselect(detail::SectionData& section) {
  if (section.selectedInto == nullptr) return;
  section.selectedInto->dc.selected = nullptr;
  section.selectedInto->selected = nullptr;
  section.selectedInto = nullptr;
}

}  // namespace

BitmapSection::BitmapSection(BitmapSection&& other) noexcept : data_(std::move(other.data_)) {}

BitmapSection& BitmapSection::operator=(BitmapSection&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::move(other.data_);
  }
  return *this;
}

BitmapSection::~BitmapSection() { Release(); }

void BitmapSection::Release() {
  if (!data_) return;
  Deselect(*data_);
  FreePixels(data_->bitmap.bits, data_->mappedBytes);
  data_.reset();
}

BitmapSection BitmapSection::Create(int32_t width, int32_t height, uint16_t bitCount) {
  if (width <= 0 || height == 0 || height == INT32_MIN || (bitCount != 24 && bitCount != 32)) {
    return Fail<BitmapSection>(EINVAL);
  }
  const uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  const uint64_t stride = ((static_cast<uint64_t>(width) * bitCount + 31) >> 5) * 4;
  // Compared by division: stride x rows can exceed 64 bits. The cap keeps the size in 32 bits.
  if (stride > kMaxBytes / rows) return Fail<BitmapSection>(ENOMEM);
  const uint64_t bytes = stride * rows;

  auto data = std::unique_ptr<detail::SectionData>(new (std::nothrow) detail::SectionData());
  if (!data) return Fail<BitmapSection>(ENOMEM);
  data->bitmap.bits = AllocatePixels(bytes, data->mappedBytes);
  if (data->bitmap.bits == nullptr) return Fail<BitmapSection>(ENOMEM);
  data->bitmap.stride = stride;
  data->bitmap.bytes = bytes;
  DplBitmapInfoHeader& header = data->bitmap.header;
  header.size = sizeof(DplBitmapInfoHeader);
  header.width = width;
  header.height = height;
  header.planes = 1;
  header.bitCount = bitCount;
  header.compression = DPL_BI_RGB;
  header.sizeImage = static_cast<uint32_t>(bytes);

  BitmapSection section;
  section.data_ = std::move(data);
  return section;
}

MemoryDeviceContext::MemoryDeviceContext(MemoryDeviceContext&& other) noexcept : data_(std::move(other.data_)) {}

MemoryDeviceContext& MemoryDeviceContext::operator=(MemoryDeviceContext&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::move(other.data_);
  }
  return *this;
}

MemoryDeviceContext::~MemoryDeviceContext() { Release(); }

void MemoryDeviceContext::Release() {
  if (!data_) return;
  if (data_->selected != nullptr) Deselect(*data_->selected);
  data_.reset();
}

MemoryDeviceContext MemoryDeviceContext::CreateCompatible() {
  auto data = std::unique_ptr<detail::ContextData>(new (std::nothrow) detail::ContextData());
  if (!data) return Fail<MemoryDeviceContext>(ENOMEM);
  data->dc.size = sizeof(DplDeviceContext);
  MemoryDeviceContext context;
  context.data_ = std::move(data);
  return context;
}

bool MemoryDeviceContext::Select(BitmapSection& bitmap) {
  if (!data_ || !bitmap.IsValid()) return Fail<bool>(EINVAL);
  detail::SectionData& section = *bitmap.data_;
  if (section.selectedInto == data_.get()) return true;
  if (section.selectedInto != nullptr) return Fail<bool>(EBUSY);
  if (data_->selected != nullptr) Deselect(*data_->selected);
  section.selectedInto = data_.get();
  data_->selected = &section;
  data_->dc.selected = &section.bitmap;
  return true;
}

int LastDrawingError() { return lastDrawingError; }

}  // namespace platform
