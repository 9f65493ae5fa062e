#include "platform/Bitmap.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#include "platform/PixelMemory.h"

namespace platform {
namespace {

thread_local int lastDrawingError = 0;

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
  FreePixelMemory({data_->bitmap.bits, data_->mappedBytes});
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
  const PixelMemory pixels = AllocatePixelMemory(bytes);
  if (pixels.data == nullptr) return Fail<BitmapSection>(ENOMEM);
  data->bitmap.bits = pixels.data;
  data->mappedBytes = pixels.mapped;
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
