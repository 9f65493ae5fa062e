#include "imaging/codecs/WbmpDecoder.h"

#include <cstring>
#include <optional>

#include "imaging/codecs/ByteReader.h"
#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

struct WbmpHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  size_t dataOffset = 0;
  uint64_t dataBytes = 0;
};

// A multi-byte integer: 7 bits per byte, high bit set on all but the last. Four bytes
// (28 bits) are more than any image needs.
std::optional<uint32_t> ReadMultiByte(ByteReader& reader) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    const uint8_t byte = reader.U8();
    if (reader.Overrun()) return std::nullopt;
    value = (value << 7) | (byte & 0x7F);
    if ((byte & 0x80) == 0) return value;
  }
  return std::nullopt;
}

std::optional<WbmpHeader> ReadHeader(std::span<const uint8_t> bytes) {
  ByteReader reader(bytes);
  const auto type = ReadMultiByte(reader);
  const uint8_t fixedHeader = reader.U8();
  if (!type || *type != 0 || reader.Overrun() || fixedHeader != 0) return std::nullopt;
  const auto width = ReadMultiByte(reader);
  const auto height = ReadMultiByte(reader);
  if (!width || !height || *width == 0 || *height == 0) return std::nullopt;
  WbmpHeader header{*width, *height, reader.Position(), 0};
  header.dataBytes = (uint64_t{*width} + 7) / 8 * *height;
  return header;
}

}  // namespace

bool WbmpDecoder::Sniff(std::span<const uint8_t> bytes) {
  const auto header = ReadHeader(bytes);
  return header && header->dataOffset + header->dataBytes == bytes.size();
}

DecoderResult WbmpDecoder::Create(std::span<const uint8_t> bytes) {
  const auto header = ReadHeader(bytes);
  if (!header) return Error{"WBMP: not a type 0 wireless bitmap"};
  if (header->dataBytes > bytes.size() - header->dataOffset) return Error{"WBMP: pixel data truncated"};
  if (!WithinImageLimit(header->width, header->height, 1)) return Error{TooLargeText("WBMP", header->width, header->height)};
  return std::unique_ptr<ImageDecoder>(new WbmpDecoder(bytes, header->width, header->height, header->dataOffset));
}

Result<CxImage> WbmpDecoder::DecodeFrame(int32_t) {
  auto created = NewImage(width_, height_, 1, ImageFormat::Wbmp, "WBMP", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  SetTwoColors(image, kBlack, kWhite);
  const size_t rowBytes = (size_t{width_} + 7) / 8;
  for (uint32_t y = 0; y < height_; ++y)
    std::memcpy(PictureRow(image, y), bytes_.data() + dataOffset_ + rowBytes * y, rowBytes);
  return image;
}

}  // namespace imaging
