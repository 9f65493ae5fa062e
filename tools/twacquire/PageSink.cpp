#include "PageSink.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace twacquire {

BmpFolderSink::BmpFolderSink(std::string folder) : folder_(std::move(folder)) {}

std::string BmpFolderSink::PagePath(int number) const {
  char name[32];
  std::snprintf(name, sizeof(name), "page-%04d.bmp", number);
  return (std::filesystem::path(folder_) / name).string();
}

bool BmpFolderSink::TakeBitmap(int number, const uint8_t* block, std::size_t size, std::string& output,
                               std::string& error) {
  output = PagePath(number);
  return WriteBmpFromBlock(output, block, size, error);
}

void BmpFolderSink::BeginStrips(const TW_IMAGEINFO& info, const TW_PALETTE8* palette) {
  strips_ = StripPage{};
  strips_.width = static_cast<uint32_t>(std::max<TW_INT32>(info.ImageWidth, 0));
  strips_.height = static_cast<uint32_t>(std::max<TW_INT32>(info.ImageLength, 0));
  strips_.bitsPerPixel = static_cast<uint32_t>(std::max<TW_INT16>(info.BitsPerPixel, 0));
  strips_.xDpi = Fix32ToFloat(info.XResolution);
  strips_.yDpi = Fix32ToFloat(info.YResolution);
  if (palette != nullptr) {
    for (TW_UINT16 i = 0; i < palette->NumColors && i < 256; ++i) {
      const TW_ELEMENT8& entry = palette->Colors[i];
      strips_.palette.insert(strips_.palette.end(), {entry.Channel3, entry.Channel2, entry.Channel1, 0});
    }
  }
}

bool BmpFolderSink::TakeStrip(const TW_IMAGEMEMXFER& strip, const uint8_t* data, std::string& error) {
  if (strips_.bytesPerRow == 0) {
    strips_.bytesPerRow = strip.BytesPerRow;
    strips_.rows.assign(std::size_t{strips_.bytesPerRow} * strips_.height, 0);
  }
  if (strip.BytesPerRow != strips_.bytesPerRow || strip.XOffset != 0 || strip.YOffset > strips_.height ||
      strip.Rows > strips_.height - strip.YOffset || strip.BytesWritten < uint64_t{strip.Rows} * strip.BytesPerRow) {
    error = "the source sent a strip that does not fit the page (YOffset " + std::to_string(strip.YOffset) +
            ", Rows " + std::to_string(strip.Rows) + ", BytesPerRow " + std::to_string(strip.BytesPerRow) + ")";
    return false;
  }
  std::memcpy(strips_.rows.data() + std::size_t{strip.YOffset} * strips_.bytesPerRow, data,
              std::size_t{strip.Rows} * strip.BytesPerRow);
  return true;
}

bool BmpFolderSink::EndStrips(int number, std::string& output, std::string& error) {
  output = PagePath(number);
  const bool written = WriteBmpFromStrips(output, strips_, error);
  strips_ = StripPage{};
  return written;
}

std::string BmpFolderSink::FileTransferPath(int number) { return PagePath(number); }

bool BmpFolderSink::TakeFile(int, const std::string& path, std::string& output, std::string&) {
  output = path;
  return true;
}

}  // namespace twacquire
