#include "imaging/codecs/RasDecoder.h"

#include <cstring>
#include <string>
#include <vector>

#include "imaging/codecs/ByteReader.h"
#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

constexpr uint32_t kMagic = 0x59A66A95;
constexpr size_t kHeaderSize = 32;
enum : uint32_t { kTypeOld = 0, kTypeStandard = 1, kTypeByteEncoded = 2, kTypeRgb = 3 };

RasHeader ReadHeader(ByteReader& reader) {
  reader.BE32();  // magic
  RasHeader h;
  h.width = reader.BE32();
  h.height = reader.BE32();
  h.depth = reader.BE32();
  reader.BE32();  // data length: often 0, and we know the real one
  h.type = reader.BE32();
  h.mapType = reader.BE32();
  h.mapLength = reader.BE32();
  return h;
}

size_t RowBytes(const RasHeader& h) {
  const size_t bytes = (size_t{h.width} * h.depth + 7) / 8;
  return (bytes + 1) & ~size_t{1};
}

}  // namespace

bool RasDecoder::Sniff(std::span<const uint8_t> bytes) {
  return bytes.size() >= kHeaderSize && LoadBE32(bytes.data()) == kMagic;
}

DecoderResult RasDecoder::Create(std::span<const uint8_t> bytes) {
  if (!Sniff(bytes)) return Error{"Sun raster: not a Sun raster file"};
  ByteReader reader(bytes);
  const RasHeader h = ReadHeader(reader);
  if (h.depth != 1 && h.depth != 8 && h.depth != 24 && h.depth != 32)
    return Error{"Sun raster: depth of " + std::to_string(h.depth) + " bits is not supported"};
  if (h.type > kTypeRgb) return Error{"Sun raster: type " + std::to_string(h.type) + " is not supported"};
  if (h.mapType > 2) return Error{"Sun raster: colour map type " + std::to_string(h.mapType) + " is not supported"};
  if (h.mapLength > bytes.size() - kHeaderSize) return Error{"Sun raster: colour map outside the file"};
  if (h.width == 0 || h.height == 0) return Error{"Sun raster: image has no pixels"};
  if (!WithinImageLimit(h.width, h.height, h.depth)) return Error{TooLargeText("Sun raster", h.width, h.height)};
  return std::unique_ptr<ImageDecoder>(new RasDecoder(bytes, h));
}

Result<CxImage> RasDecoder::DecodeFrame(int32_t) {
  const RasHeader& h = header_;
  ByteReader reader(bytes_);
  reader.Seek(kHeaderSize);
  const auto map = reader.Bytes(h.mapLength);
  const size_t rowBytes = RowBytes(h);
  const uint64_t dataBytes = uint64_t{rowBytes} * h.height;
  // An escape of three bytes yields at most 256: a small file cannot claim a large image.
  const uint64_t minimum = h.type == kTypeByteEncoded ? (dataBytes + 255) / 256 * 3 : dataBytes;
  if (minimum > reader.Remaining()) return Error{"Sun raster: image data truncated"};

  auto created = NewImage(h.width, h.height, h.depth == 32 ? 24 : h.depth, ImageFormat::Ras, "Sun raster", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  const uint32_t entries = h.mapType == 1 ? h.mapLength / 3 : 0;
  if (h.depth == 1 && entries < 2) SetTwoColors(image, kWhite, kBlack);
  if (h.depth == 8 && entries == 0) image.SetGrayPalette();
  if (h.depth <= 8) {
    for (uint32_t i = 0; i < entries && i < image.GetNumColors(); ++i)
      image.SetPaletteColor(i, MakeRgb(map[i], map[entries + i], map[2 * entries + i]));
  }

  std::vector<uint8_t> row(rowBytes);
  uint32_t repeat = 0;
  uint8_t repeatValue = 0;
  // Byte encoding: 0x80 n v repeats v n+1 times, 0x80 0 is a literal 0x80. Runs cross rows.
  auto nextByte = [&]() -> uint8_t {
    if (h.type != kTypeByteEncoded) return reader.U8();
    if (repeat > 0) {
      --repeat;
      return repeatValue;
    }
    const uint8_t byte = reader.U8();
    if (byte != 0x80) return byte;
    const uint8_t count = reader.U8();
    if (count == 0) return 0x80;
    repeatValue = reader.U8();
    repeat = count;  // count + 1 copies, one returned now
    return repeatValue;
  };
  const bool rgbOrder = h.type == kTypeRgb;
  for (uint32_t y = 0; y < h.height; ++y) {
    for (size_t i = 0; i < rowBytes; ++i) row[i] = nextByte();
    if (reader.Overrun()) return Error{"Sun raster: image data truncated"};
    uint8_t* dst = PictureRow(image, y);
    if (h.depth <= 8) {
      std::memcpy(dst, row.data(), (size_t{h.width} * h.depth + 7) / 8);
      continue;
    }
    const size_t step = h.depth / 8;
    const size_t skip = h.depth == 32 ? 1 : 0;  // the pad byte comes first
    for (uint32_t x = 0; x < h.width; ++x, dst += 3) {
      const uint8_t* src = row.data() + step * x + skip;
      dst[0] = rgbOrder ? src[2] : src[0];
      dst[1] = src[1];
      dst[2] = rgbOrder ? src[0] : src[2];
    }
  }
  return image;
}

}  // namespace imaging
