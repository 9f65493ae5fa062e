#include "imaging/codecs/IcoDecoder.h"

#include <optional>
#include <string>

#include "imaging/codecs/BmpDecoder.h"
#include "imaging/codecs/PngDecoder.h"

namespace imaging {

namespace {

constexpr size_t kHeaderSize = 6;
constexpr size_t kEntrySize = 16;

// The image data an entry points to, when it lies inside the file.
std::optional<std::span<const uint8_t>> EntryImage(std::span<const uint8_t> bytes, size_t entry) {
  const size_t at = kHeaderSize + kEntrySize * entry;
  if (at + kEntrySize > bytes.size()) return std::nullopt;
  const uint64_t size = LoadLE32(bytes.data() + at + 8);
  const uint64_t offset = LoadLE32(bytes.data() + at + 12);
  // Both are 32-bit, so the sum cannot wrap in 64 bits.
  if (size < 4 || offset + size > bytes.size()) return std::nullopt;
  return bytes.subspan(offset, size);
}

bool IsKnownImage(std::span<const uint8_t> image) {
  return PngDecoder::Sniff(image) || LoadLE32(image.data()) == 40 || LoadLE32(image.data()) == 12 ||
         LoadLE32(image.data()) == 108 || LoadLE32(image.data()) == 124;
}

bool HasIconHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < kHeaderSize + kEntrySize) return false;
  const uint16_t reserved = LoadLE16(bytes.data());
  const uint16_t type = LoadLE16(bytes.data() + 2);
  const uint16_t count = LoadLE16(bytes.data() + 4);
  return reserved == 0 && (type == 1 || type == 2) && count > 0;
}

}  // namespace

bool IcoDecoder::Sniff(std::span<const uint8_t> bytes) {
  if (!HasIconHeader(bytes)) return false;
  const auto first = EntryImage(bytes, 0);
  return first && IsKnownImage(*first);
}

DecoderResult IcoDecoder::Create(std::span<const uint8_t> bytes) {
  if (!HasIconHeader(bytes)) return Error{"ICO: not an icon file"};
  const uint16_t count = LoadLE16(bytes.data() + 4);
  if (kHeaderSize + kEntrySize * size_t{count} > bytes.size()) return Error{"ICO: directory truncated"};
  std::vector<std::span<const uint8_t>> images;
  images.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const auto image = EntryImage(bytes, i);
    if (!image) return Error{"ICO: image " + std::to_string(i) + " lies outside the file"};
    images.push_back(*image);
  }
  return std::unique_ptr<ImageDecoder>(new IcoDecoder(std::move(images)));
}

Result<CxImage> IcoDecoder::DecodeFrame(int32_t index) {
  const auto image = images_[static_cast<size_t>(index)];
  Result<CxImage> decoded = Error{"ICO: unknown image format"};
  if (PngDecoder::Sniff(image)) {
    auto png = PngDecoder::Create(image);
    if (png.IsError()) return png.TakeError();
    decoded = png.Value()->TakeFrame(0);
  } else {
    decoded = BmpDecoder::DecodeIconDib(image);
  }
  if (decoded.IsError()) return decoded.TakeError();
  decoded.Value().SetType(ImageFormat::Ico);
  return decoded;
}

}  // namespace imaging
