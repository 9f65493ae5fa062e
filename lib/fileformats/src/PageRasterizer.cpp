#include "PageRasterizer.h"

#include <poppler-image.h>
#include <poppler-page-renderer.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace fileformats {
namespace {

uint64_t MinimumStride(const DplBitmapInfoHeader& header) {
  return ((static_cast<uint64_t>(header.width) * header.bitCount + 31) >> 5) * 4;
}

int32_t Rows(const DplBitmapInfoHeader& header) { return header.height < 0 ? -header.height : header.height; }

// Row `row` of the picture, counted from its top, in the bitmap's own storage order.
uint8_t* PictureRow(DplBitmap& bitmap, int32_t row) {
  const int32_t stored = bitmap.header.height < 0 ? row : Rows(bitmap.header) - 1 - row;
  return bitmap.bits + static_cast<size_t>(stored) * bitmap.stride;
}

}  // namespace

std::string CheckBitmap(const DplBitmap& bitmap) {
  const DplBitmapInfoHeader& header = bitmap.header;
  if (header.size != sizeof(DplBitmapInfoHeader)) return "the selected bitmap has no valid header";
  if (bitmap.bits == nullptr) return "the selected bitmap has no pixels";
  if (header.bitCount != 24 && header.bitCount != 32) {
    return "the selected bitmap has " + std::to_string(header.bitCount) + " bits per pixel (24 or 32 can be drawn into)";
  }
  if (header.compression != DPL_BI_RGB) return "the selected bitmap is compressed";
  if (header.width <= 0 || header.height == 0 || header.height == INT32_MIN) {
    return "the selected bitmap is " + std::to_string(header.width) + " x " + std::to_string(header.height) +
           " pixels";
  }
  if (bitmap.stride < MinimumStride(header) || bitmap.stride % 4 != 0) {
    return "the selected bitmap's rows of " + std::to_string(bitmap.stride) + " bytes cannot hold " +
           std::to_string(header.width) + " pixels";
  }
  // stride x rows without wrapping: rows < 2^31, so compare by division.
  if (bitmap.bytes / bitmap.stride < static_cast<uint64_t>(Rows(header))) {
    return "the selected bitmap's buffer of " + std::to_string(bitmap.bytes) + " bytes cannot hold " +
           std::to_string(Rows(header)) + " rows";
  }
  return {};
}

DrawResult DrawPage(const poppler::page& page, double resolution, DplBitmap& bitmap) {
  const int32_t width = bitmap.header.width;
  const int32_t rows = Rows(bitmap.header);
  const size_t pixelBytes = bitmap.header.bitCount / 8;

  // The renderer's blue-green-red layout is the bitmap's own at 24 bits, and its 32-bit layout
  // the bitmap's at 32: every row is one copy.
  poppler::page_renderer renderer;
  renderer.set_render_hints(poppler::page_renderer::antialiasing | poppler::page_renderer::text_antialiasing);
  renderer.set_image_format(pixelBytes == 3 ? poppler::image::format_bgr24 : poppler::image::format_argb32);
  poppler::image picture = renderer.render_page(&page, resolution, resolution, 0, 0, width, rows);
  if (!picture.is_valid() || picture.width() <= 0 || picture.height() <= 0) {
    return {DPL_ERROR_RENDER_FAILED, "the renderer produced no picture", {}};
  }

  const int32_t copiedRows = std::min(rows, picture.height());
  const size_t copiedBytes = static_cast<size_t>(std::min(width, picture.width())) * pixelBytes;
  const size_t rowBytes = static_cast<size_t>(width) * pixelBytes;
  const char* source = picture.const_data();
  for (int32_t row = 0; row < rows; ++row) {
    uint8_t* target = PictureRow(bitmap, row);
    if (row < copiedRows) {
      std::memcpy(target, source + static_cast<size_t>(row) * picture.bytes_per_row(), copiedBytes);
      std::memset(target + copiedBytes, 0xFF, rowBytes - copiedBytes);
    } else {
      std::memset(target, 0xFF, rowBytes);
    }
  }
  return {DPL_OK, {}, std::move(picture)};
}

}  // namespace fileformats
