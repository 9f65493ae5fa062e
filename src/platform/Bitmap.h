#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// The layout the PDF library draws into, shared with libFileFormats.so. Reached by its place in
// the tree so that every user of this header (the image object included) sees it without an
// extra include path.
#include "../../lib/fileformats/include/FileFormatsApi.h"

namespace platform {

namespace detail {
struct ContextData;
// A section's header and pixels, at an address that stays put while the owner moves, so that a
// context that has the section selected keeps pointing at it.
struct SectionData {
  DplBitmap bitmap{};
  ContextData* selectedInto = nullptr;
  size_t mappedBytes = 0;  // pixels mapped from the system (0: from the heap)
};
struct ContextData {
  DplDeviceContext dc{};
  SectionData* selected = nullptr;
};
}  // namespace detail

// A device-independent bitmap section: the bitmap information header and the pixel rows it
// describes, owned. Move-only. Destroying a section that is selected into a context deselects it
// there first, so a context never points at freed pixels. Not thread-safe: one thread draws.
class BitmapSection {
 public:
  BitmapSection() = default;
  BitmapSection(const BitmapSection&) = delete;
  BitmapSection& operator=(const BitmapSection&) = delete;
  BitmapSection(BitmapSection&& other) noexcept;
  BitmapSection& operator=(BitmapSection&& other) noexcept;
  ~BitmapSection();

  // The pixel data a section may hold: 256 MiB, the budget of one image.
  static constexpr size_t kMaxBytes = size_t{1} << 28;

  // |height| rows of `width` pixels at `bitCount` bits (24 or 32, no compression, no palette),
  // stored top-down when height is negative, pixels zeroed. An invalid section on failure, with
  // LastDrawingError() EINVAL for a size or depth that cannot be made and ENOMEM when the pixels
  // would exceed kMaxBytes or cannot be allocated.
  static BitmapSection Create(int32_t width, int32_t height, uint16_t bitCount);

  bool IsValid() const { return data_ != nullptr; }
  // Everything below needs a valid section.
  const DplBitmapInfoHeader& Header() const { return data_->bitmap.header; }
  int32_t Width() const { return Header().width; }
  // The number of rows, whatever the storage order.
  int32_t Height() const { return Header().height < 0 ? -Header().height : Header().height; }
  uint16_t BitCount() const { return Header().bitCount; }
  bool IsTopDown() const { return Header().height < 0; }
  size_t Stride() const { return data_->bitmap.stride; }
  uint8_t* Bits() { return data_->bitmap.bits; }
  const uint8_t* Bits() const { return data_->bitmap.bits; }
  // Row `row` of the picture counted from its top, whatever the storage order; nullptr when out
  // of range.
  const uint8_t* PictureRow(int32_t row) const {
    if (row < 0 || row >= Height()) return nullptr;
    const int32_t stored = IsTopDown() ? row : Height() - 1 - row;
    return Bits() + static_cast<size_t>(stored) * Stride();
  }

  // What the PDF library receives through a device context.
  DplBitmap* Handle() { return data_ ? &data_->bitmap : nullptr; }

 private:
  friend class MemoryDeviceContext;
  void Release();

  std::unique_ptr<detail::SectionData> data_;
};

// A memory device context: drawing into it lands in the selected bitmap section. Move-only;
// destroying it deselects its section. Not thread-safe.
class MemoryDeviceContext {
 public:
  MemoryDeviceContext() = default;
  MemoryDeviceContext(const MemoryDeviceContext&) = delete;
  MemoryDeviceContext& operator=(const MemoryDeviceContext&) = delete;
  MemoryDeviceContext(MemoryDeviceContext&& other) noexcept;
  MemoryDeviceContext& operator=(MemoryDeviceContext&& other) noexcept;
  ~MemoryDeviceContext();

  // A context compatible with the screen. There is no screen here: every context draws into
  // memory. Invalid (LastDrawingError() ENOMEM) only when memory runs out.
  static MemoryDeviceContext CreateCompatible();

  bool IsValid() const { return data_ != nullptr; }

  // Selects `bitmap`, deselecting the one selected before. Fails with EINVAL for an invalid
  // context or section and with EBUSY for a section selected into another context.
  bool Select(BitmapSection& bitmap);

  // What the PDF library draws into; nullptr for an invalid context.
  DplDeviceContext* Handle() { return data_ ? &data_->dc : nullptr; }

 private:
  void Release();

  std::unique_ptr<detail::ContextData> data_;
};

// The errno-style code of the last failed drawing-surface call of this thread (0 when none has
// failed yet).
int LastDrawingError();

}  // namespace platform
