// Painting the image into a memory device context (the preview of the file list editor).

#include <algorithm>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/CxImageOpsSupport.h"
#include "platform/Bitmap.h"

bool CxImage::PaintTo(platform::MemoryDeviceContext& dc, const ImageRect& rect) const {
  const DplDeviceContext* handle = dc.Handle();
  if (!IsValid() || handle == nullptr || handle->selected == nullptr) return false;
  const DplBitmap& target = *handle->selected;
  const int64_t rectWidth = int64_t{rect.right} - rect.left;
  const int64_t rectHeight = int64_t{rect.bottom} - rect.top;
  if (rectWidth <= 0 || rectHeight <= 0) return false;
  const int32_t targetWidth = target.header.width;
  const int32_t targetRows = target.header.height < 0 ? -target.header.height : target.header.height;
  const int pixelBytes = target.header.bitCount / 8;

  // Only the part of the rectangle that falls on the bitmap is painted.
  const int32_t left = std::max(rect.left, 0);
  const int32_t right = std::min(rect.right, targetWidth);
  const int32_t top = std::max(rect.top, 0);
  const int32_t bottom = std::min(rect.bottom, targetRows);
  if (left >= right || top >= bottom) return true;

  // Nearest source pixel: column and row looked up once, rows converted to colours once.
  std::vector<uint32_t> columns(static_cast<size_t>(right - left));
  for (int32_t x = left; x < right; ++x) {
    columns[static_cast<size_t>(x - left)] = static_cast<uint32_t>((x - int64_t{rect.left}) * width_ / rectWidth);
  }
  const std::array<RgbQuad, 256> palette = imaging::PaletteTable(*this);
  std::vector<uint8_t> bgr(size_t{width_} * 3);
  uint32_t expandedRow = UINT32_MAX;
  for (int32_t y = top; y < bottom; ++y) {
    // Picture row counted from the top; the block stores rows bottom-up.
    const auto pictureRow = static_cast<uint32_t>((y - int64_t{rect.top}) * height_ / rectHeight);
    if (pictureRow != expandedRow) {
      imaging::ExpandRowToBgr(GetBits(height_ - 1 - pictureRow), width_, bpp_, palette, bgr.data());
      expandedRow = pictureRow;
    }
    const int32_t storedRow = target.header.height < 0 ? y : targetRows - 1 - y;
    uint8_t* out = target.bits + static_cast<size_t>(storedRow) * target.stride + static_cast<size_t>(left) * pixelBytes;
    for (const uint32_t column : columns) {
      const uint8_t* pixel = bgr.data() + size_t{column} * 3;
      out[0] = pixel[0];
      out[1] = pixel[1];
      out[2] = pixel[2];
      out += pixelBytes;
    }
  }
  return true;
}
