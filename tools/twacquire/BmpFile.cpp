#include "BmpFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace twacquire {

namespace {

constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kFileHeaderSize = 14;

uint32_t Read32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

uint32_t StrideOf(uint32_t width, uint32_t bpp) { return static_cast<uint32_t>((uint64_t{width} * bpp + 31) / 32 * 4); }

uint32_t PixelsPerMetre(double dpi) { return dpi > 0 ? static_cast<uint32_t>(std::lround(dpi / 0.0254)) : 0; }

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenForWriting(const std::string& path, std::string& error) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) error = "cannot write " + path + ": " + std::strerror(errno);
  return file;
}

void FileHeader(uint8_t (&header)[kFileHeaderSize], std::size_t blockSize, uint32_t paletteBytes) {
  std::memset(header, 0, sizeof(header));
  header[0] = 'B';
  header[1] = 'M';
  Put32(header + 2, static_cast<uint32_t>(kFileHeaderSize + blockSize));
  Put32(header + 10, kFileHeaderSize + kInfoHeaderSize + paletteBytes);
}

bool Finish(File file, const std::string& path, bool written, std::string& error) {
  if (written && std::fclose(file.release()) == 0) return true;
  error = "cannot write " + path + ": " + std::strerror(errno);
  return false;
}

// Colour-table entries of a block whose header BitmapBlockSize accepted.
uint32_t ColorCount(const uint8_t* block) {
  const uint16_t bpp = Read16(block + 14);
  if (bpp == 24) return 0;
  const uint32_t colors = Read32(block + 32);
  return colors == 0 || colors > (1u << bpp) ? 1u << bpp : colors;
}

}  // namespace

std::size_t BitmapBlockSize(const uint8_t* block) {
  if (block == nullptr || Read32(block) != kInfoHeaderSize || Read32(block + 16) != 0) return 0;
  const auto width = static_cast<int32_t>(Read32(block + 4));
  const auto height = static_cast<int32_t>(Read32(block + 8));
  const uint16_t bpp = Read16(block + 14);
  if (width <= 0 || height == 0 || height == INT32_MIN || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)) return 0;
  const uint64_t rows = static_cast<uint64_t>(height < 0 ? -int64_t{height} : height);
  return kInfoHeaderSize + std::size_t{4} * ColorCount(block) + StrideOf(static_cast<uint32_t>(width), bpp) * rows;
}

bool WriteBmpFromBlock(const std::string& path, const uint8_t* block, std::size_t size, std::string& error) {
  if (BitmapBlockSize(block) == 0 || size < BitmapBlockSize(block)) {
    error = "the bitmap has a header twacquire does not understand";
    return false;
  }
  File file = OpenForWriting(path, error);
  if (!file) return false;
  uint8_t header[kFileHeaderSize];
  FileHeader(header, size, 4 * ColorCount(block));
  const bool written = std::fwrite(header, sizeof(header), 1, file.get()) == 1 &&
                       std::fwrite(block, size, 1, file.get()) == 1;
  return Finish(std::move(file), path, written, error);
}

bool WriteBmpFromStrips(const std::string& path, const StripPage& page, std::string& error) {
  const uint32_t stride = StrideOf(page.width, page.bitsPerPixel);
  const uint32_t paletteBytes = static_cast<uint32_t>(page.palette.size());
  if (page.rows.size() < uint64_t{page.bytesPerRow} * page.height) {
    error = "the strips of the page do not cover its rows";
    return false;
  }
  File file = OpenForWriting(path, error);
  if (!file) return false;

  uint8_t header[kFileHeaderSize + kInfoHeaderSize] = {};
  const std::size_t blockSize = kInfoHeaderSize + paletteBytes + std::size_t{stride} * page.height;
  uint8_t fileHeader[kFileHeaderSize];
  FileHeader(fileHeader, blockSize, paletteBytes);
  std::memcpy(header, fileHeader, kFileHeaderSize);
  uint8_t* info = header + kFileHeaderSize;
  Put32(info, kInfoHeaderSize);
  Put32(info + 4, page.width);
  Put32(info + 8, page.height);
  Put16(info + 12, 1);
  Put16(info + 14, static_cast<uint16_t>(page.bitsPerPixel));
  Put32(info + 20, stride * page.height);
  Put32(info + 24, PixelsPerMetre(page.xDpi));
  Put32(info + 28, PixelsPerMetre(page.yDpi));
  Put32(info + 32, paletteBytes / 4);
  bool written = std::fwrite(header, sizeof(header), 1, file.get()) == 1 &&
                 (paletteBytes == 0 || std::fwrite(page.palette.data(), paletteBytes, 1, file.get()) == 1);

  std::vector<uint8_t> row(stride, 0);
  const uint32_t copied = std::min(stride, page.bytesPerRow);
  for (uint32_t y = page.height; written && y-- > 0;) {
    const uint8_t* sent = page.rows.data() + std::size_t{y} * page.bytesPerRow;
    std::memcpy(row.data(), sent, copied);
    if (page.bitsPerPixel == 24) {
      for (uint32_t x = 0; x < page.width && 3 * x + 2 < copied; ++x) std::swap(row[3 * x], row[3 * x + 2]);
    }
    written = std::fwrite(row.data(), stride, 1, file.get()) == 1;
  }
  return Finish(std::move(file), path, written, error);
}

}  // namespace twacquire
