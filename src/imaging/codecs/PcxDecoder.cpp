#include "imaging/codecs/PcxDecoder.h"

#include <cstring>
#include <string>
#include <vector>

#include "imaging/codecs/ByteReader.h"
#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kPaletteBlock = 769;  // 0x0C and 256 RGB triples

bool HasPcxSignature(std::span<const uint8_t> bytes) {
  if (bytes.size() < kHeaderSize || bytes[0] != 0x0A) return false;
  const uint8_t version = bytes[1];
  const uint8_t encoding = bytes[2];
  const uint8_t bits = bytes[3];
  return (version == 0 || version == 2 || version == 3 || version == 4 || version == 5) && encoding <= 1 &&
         (bits == 1 || bits == 2 || bits == 4 || bits == 8);
}

bool IsSupportedLayout(uint8_t bits, uint8_t planes) {
  return (bits == 1 && planes >= 1 && planes <= 4) || (bits == 2 && planes == 1) || (bits == 4 && planes == 1) ||
         (bits == 8 && (planes == 1 || planes == 3 || planes == 4));
}

uint32_t OutputBpp(const PcxHeader& h) {
  if (h.bitsPerPlane == 8) return h.planes == 1 ? 8 : 24;
  if (h.bitsPerPlane == 1 && h.planes == 1) return 1;
  return 4;
}

// Index of pixel x from the planes of one decoded scan line.
uint8_t IndexAt(const PcxHeader& h, const uint8_t* line, uint32_t x) {
  if (h.bitsPerPlane == 1) {
    uint8_t index = 0;
    for (uint8_t p = 0; p < h.planes; ++p)
      index |= static_cast<uint8_t>(((line[size_t{p} * h.bytesPerLine + x / 8] >> (7 - x % 8)) & 1) << p);
    return index;
  }
  if (h.bitsPerPlane == 2) return (line[x / 4] >> (6 - 2 * (x % 4))) & 3;
  return (line[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F;
}

}  // namespace

bool PcxDecoder::Sniff(std::span<const uint8_t> bytes) {
  if (!HasPcxSignature(bytes)) return false;
  const uint16_t xMin = LoadLE16(bytes.data() + 4);
  const uint16_t yMin = LoadLE16(bytes.data() + 6);
  const uint16_t xMax = LoadLE16(bytes.data() + 8);
  const uint16_t yMax = LoadLE16(bytes.data() + 10);
  return xMax >= xMin && yMax >= yMin && IsSupportedLayout(bytes[3], bytes[65]);
}

DecoderResult PcxDecoder::Create(std::span<const uint8_t> bytes) {
  if (!HasPcxSignature(bytes)) return Error{"PCX: not a PCX file"};
  ByteReader reader(bytes);
  reader.Skip(1);
  PcxHeader h;
  h.version = reader.U8();
  h.encoding = reader.U8();
  h.bitsPerPlane = reader.U8();
  const uint16_t xMin = reader.LE16();
  const uint16_t yMin = reader.LE16();
  const uint16_t xMax = reader.LE16();
  const uint16_t yMax = reader.LE16();
  h.xDpi = reader.LE16();
  h.yDpi = reader.LE16();
  reader.Skip(48 + 1);  // 16-colour palette, reserved
  h.planes = reader.U8();
  h.bytesPerLine = reader.LE16();
  if (xMax < xMin || yMax < yMin)
    return Error{"PCX: invalid image window (" + std::to_string(xMin) + ", " + std::to_string(yMin) + ") to (" +
                 std::to_string(xMax) + ", " + std::to_string(yMax) + ")"};
  h.width = uint32_t{xMax} - xMin + 1;
  h.height = uint32_t{yMax} - yMin + 1;
  if (!IsSupportedLayout(h.bitsPerPlane, h.planes))
    return Error{"PCX: " + std::to_string(h.planes) + " planes of " + std::to_string(h.bitsPerPlane) + " bits are not supported"};
  if (uint64_t{h.bytesPerLine} * 8 < uint64_t{h.width} * h.bitsPerPlane) return Error{"PCX: scan line shorter than the image"};
  if (!WithinImageLimit(h.width, h.height, OutputBpp(h))) return Error{TooLargeText("PCX", h.width, h.height)};
  return std::unique_ptr<ImageDecoder>(new PcxDecoder(bytes, h));
}

Result<CxImage> PcxDecoder::DecodeFrame(int32_t) {
  const PcxHeader& h = header_;
  const bool palette256 = h.bitsPerPlane == 8 && h.planes == 1 && h.version >= 5 && bytes_.size() >= kHeaderSize + kPaletteBlock &&
                          bytes_[bytes_.size() - kPaletteBlock] == 0x0C;
  // Version 5 keeps the 256-colour table at the end; without it the file has lost its tail.
  if (h.bitsPerPlane == 8 && h.planes == 1 && h.version >= 5 && !palette256) return Error{"PCX: 256-colour palette missing"};
  const size_t dataEnd = palette256 ? bytes_.size() - kPaletteBlock : bytes_.size();
  ByteReader reader(bytes_.subspan(kHeaderSize, dataEnd - kHeaderSize));
  const size_t lineBytes = size_t{h.planes} * h.bytesPerLine;
  const uint64_t totalBytes = uint64_t{lineBytes} * h.height;
  // A run byte pair yields at most 63 bytes: a small file cannot claim a large image.
  const uint64_t minimum = h.encoding == 1 ? (totalBytes + 62) / 63 * 2 : totalBytes;
  if (minimum > reader.Remaining()) return Error{"PCX: image data truncated"};

  auto created = NewImage(h.width, h.height, OutputBpp(h), ImageFormat::Pcx, "PCX", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  if (h.xDpi > 0 && h.xDpi < 10000 && h.yDpi > 0 && h.yDpi < 10000) {
    image.SetXDPI(h.xDpi);
    image.SetYDPI(h.yDpi);
  }
  if (image.GetBpp() == 1) {
    SetTwoColors(image, kBlack, kWhite);
  } else if (image.GetBpp() == 4) {
    for (uint32_t i = 0; i < 16; ++i) {
      const uint8_t* rgb = bytes_.data() + 16 + 3 * i;
      image.SetPaletteColor(i, MakeRgb(rgb[0], rgb[1], rgb[2]));
    }
  } else if (image.GetBpp() == 8) {
    if (!palette256) {
      image.SetGrayPalette();
    } else {
      const uint8_t* rgb = bytes_.data() + bytes_.size() - 768;
      for (uint32_t i = 0; i < 256; ++i) image.SetPaletteColor(i, MakeRgb(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]));
    }
  }

  std::vector<uint8_t> line(lineBytes);
  uint8_t runValue = 0;
  uint32_t runLeft = 0;  // a run may continue into the next line
  // Past the end the reader yields zeros and marks the overrun, which ends the loop below.
  auto nextByte = [&]() -> uint8_t {
    if (h.encoding == 0) return reader.U8();
    while (runLeft == 0) {
      const uint8_t byte = reader.U8();
      if ((byte & 0xC0) == 0xC0) {
        runLeft = byte & 0x3F;  // a run of length zero writes nothing
        runValue = reader.U8();
      } else {
        runLeft = 1;
        runValue = byte;
      }
    }
    --runLeft;
    return runValue;
  };
  for (uint32_t y = 0; y < h.height; ++y) {
    for (size_t i = 0; i < lineBytes; ++i) line[i] = nextByte();
    if (reader.Overrun()) return Error{"PCX: image data truncated"};
    uint8_t* dst = PictureRow(image, y);
    switch (image.GetBpp()) {
      case 1:
        std::memcpy(dst, line.data(), (size_t{h.width} + 7) / 8);
        break;
      case 4:
        std::memset(dst, 0, image.GetEffWidth());
        for (uint32_t x = 0; x < h.width; ++x)
          dst[x / 2] |= static_cast<uint8_t>(IndexAt(h, line.data(), x) << ((x & 1) ? 0 : 4));
        break;
      case 8:
        std::memcpy(dst, line.data(), h.width);
        break;
      default:
        for (uint32_t x = 0; x < h.width; ++x) {
          dst[3 * size_t{x}] = line[2 * size_t{h.bytesPerLine} + x];
          dst[3 * size_t{x} + 1] = line[size_t{h.bytesPerLine} + x];
          dst[3 * size_t{x} + 2] = line[x];
        }
        break;
    }
  }
  return image;
}

}  // namespace imaging
