#include "imaging/codecs/TgaDecoder.h"

#include <string>

#include "imaging/codecs/ByteReader.h"
#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

constexpr size_t kHeaderSize = 18;

bool IsRle(const TgaHeader& h) { return h.imageType >= 9; }
bool IsColorMapped(const TgaHeader& h) { return h.imageType == 1 || h.imageType == 9; }
bool IsGray(const TgaHeader& h) { return h.imageType == 3 || h.imageType == 11; }
size_t PixelBytes(const TgaHeader& h) { return (h.pixelBits + 7u) / 8; }
size_t ColorMapBytes(const TgaHeader& h) {
  return h.colorMapType == 1 ? size_t{h.colorMapLength} * ((h.colorMapEntryBits + 7u) / 8) : 0;
}

TgaHeader ReadHeader(std::span<const uint8_t> bytes) {
  ByteReader reader(bytes);
  TgaHeader h;
  h.idLength = reader.U8();
  h.colorMapType = reader.U8();
  h.imageType = reader.U8();
  h.colorMapFirst = reader.LE16();
  h.colorMapLength = reader.LE16();
  h.colorMapEntryBits = reader.U8();
  reader.LE16();  // x origin
  reader.LE16();  // y origin
  h.width = reader.LE16();
  h.height = reader.LE16();
  h.pixelBits = reader.U8();
  h.descriptor = reader.U8();
  return h;
}

std::string UnsupportedDepth(const TgaHeader& h) {
  return "TGA: unsupported image type " + std::to_string(h.imageType) + " with " + std::to_string(h.pixelBits) + " bits";
}

// Why the header cannot be decoded, or an empty string.
std::string HeaderProblem(const TgaHeader& h) {
  switch (h.imageType) {
    case 1: case 2: case 3: case 9: case 10: case 11: break;
    case 0: return "TGA: file holds no image";
    case 32: case 33: return "TGA: Huffman-compressed images are not supported";
    default: return "TGA: unknown image type " + std::to_string(h.imageType);
  }
  if (h.colorMapType > 1) return "TGA: unknown colour map type " + std::to_string(h.colorMapType);
  if (h.width == 0 || h.height == 0) return "TGA: image has no pixels";
  if ((h.descriptor & 0xC0) != 0) return "TGA: interleaved images are not supported";
  if (h.colorMapType == 1) {
    const uint8_t bits = h.colorMapEntryBits;
    if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return "TGA: colour map entries of " + std::to_string(bits) + " bits";
  }
  if (IsColorMapped(h)) {
    if (h.colorMapType != 1) return "TGA: colour-mapped image without colour map";
    if (h.pixelBits != 8) return UnsupportedDepth(h);
  } else if (IsGray(h)) {
    if (h.pixelBits != 8 && h.pixelBits != 16) return UnsupportedDepth(h);
  } else if (h.pixelBits != 15 && h.pixelBits != 16 && h.pixelBits != 24 && h.pixelBits != 32) {
    return UnsupportedDepth(h);
  }
  return {};
}

// Bytes the pixel data needs at least: all of it uncompressed; for RLE one run packet per
// 128 pixels, so a tiny file cannot claim a huge image.
uint64_t MinimumPixelBytes(const TgaHeader& h) {
  const uint64_t pixels = uint64_t{h.width} * h.height;
  if (!IsRle(h)) return pixels * PixelBytes(h);
  return (pixels + 127) / 128 * (1 + PixelBytes(h));
}

RgbQuad ColorFrom(const uint8_t* p, size_t bytes) {
  if (bytes >= 3) return RgbQuad{p[0], p[1], p[2], 0};
  const uint16_t v = LoadLE16(p);  // A RRRRR GGGGG BBBBB
  auto expand = [](uint32_t five) { return static_cast<uint8_t>((five << 3) | (five >> 2)); };
  return RgbQuad{expand(v & 0x1F), expand((v >> 5) & 0x1F), expand((v >> 10) & 0x1F), 0};
}

}  // namespace

bool TgaDecoder::Sniff(std::span<const uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return false;
  const TgaHeader h = ReadHeader(bytes);
  if (!HeaderProblem(h).empty()) return false;
  const uint64_t needed = kHeaderSize + h.idLength + ColorMapBytes(h) + MinimumPixelBytes(h);
  return needed <= bytes.size();
}

DecoderResult TgaDecoder::Create(std::span<const uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return Error{"TGA: file truncated"};
  const TgaHeader h = ReadHeader(bytes);
  if (auto problem = HeaderProblem(h); !problem.empty()) return Error{problem};
  if (kHeaderSize + h.idLength + ColorMapBytes(h) > bytes.size()) return Error{"TGA: colour map outside the file"};
  const bool indexed = IsColorMapped(h) || IsGray(h);
  if (!WithinImageLimit(h.width, h.height, indexed ? 8 : 24)) return Error{TooLargeText("TGA", h.width, h.height)};
  return std::unique_ptr<ImageDecoder>(new TgaDecoder(bytes, h));
}

Result<CxImage> TgaDecoder::DecodeFrame(int32_t) {
  const TgaHeader& h = header_;
  ByteReader reader(bytes_);
  reader.Seek(kHeaderSize + h.idLength);
  const auto colorMap = reader.Bytes(ColorMapBytes(h));
  if (reader.Overrun()) return Error{"TGA: colour map outside the file"};
  // Compared before anything is subtracted or allocated.
  if (MinimumPixelBytes(h) > reader.Remaining()) return Error{"TGA: pixel data truncated"};

  const bool indexed = IsColorMapped(h) || IsGray(h);
  auto created = NewImage(h.width, h.height, indexed ? 8 : 24, ImageFormat::Tga, "TGA", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  if (IsGray(h)) image.SetGrayPalette();
  if (IsColorMapped(h)) {
    const size_t entryBytes = (h.colorMapEntryBits + 7u) / 8;
    for (uint32_t i = 0; i < h.colorMapLength; ++i) {
      const uint32_t index = h.colorMapFirst + i;
      if (index > 255) break;
      image.SetPaletteColor(index, ColorFrom(colorMap.data() + i * entryBytes, entryBytes));
    }
  }

  const size_t pixelBytes = PixelBytes(h);
  const bool topOrigin = (h.descriptor & 0x20) != 0;
  const bool rightToLeft = (h.descriptor & 0x10) != 0;
  const uint64_t total = uint64_t{h.width} * h.height;
  // Writes the n-th pixel of the file's order.
  auto put = [&](uint64_t n, const uint8_t* pixel) {
    const uint32_t fileRow = static_cast<uint32_t>(n / h.width);
    uint32_t x = static_cast<uint32_t>(n % h.width);
    if (rightToLeft) x = h.width - 1u - x;
    uint8_t* row = image.GetBits(topOrigin ? h.height - 1u - fileRow : fileRow);
    if (indexed) {
      row[x] = pixel[0];  // gray+alpha: the gray byte comes first
      return;
    }
    const RgbQuad c = ColorFrom(pixel, pixelBytes);
    row[3 * size_t{x}] = c.blue;
    row[3 * size_t{x} + 1] = c.green;
    row[3 * size_t{x} + 2] = c.red;
  };

  uint64_t n = 0;
  if (!IsRle(h)) {
    const auto data = reader.Bytes(total * pixelBytes);
    for (; n < total; ++n) put(n, data.data() + n * pixelBytes);
    return image;
  }
  // Packets may run across rows; every run is clipped to the pixels left.
  while (n < total) {
    const uint8_t packet = reader.U8();
    const uint64_t count = std::min<uint64_t>((packet & 0x7F) + 1u, total - n);
    if (packet & 0x80) {
      const auto pixel = reader.Bytes(pixelBytes);
      if (reader.Overrun()) return Error{"TGA: RLE data truncated"};
      for (uint64_t i = 0; i < count; ++i) put(n++, pixel.data());
    } else {
      const auto pixels = reader.Bytes(((packet & 0x7F) + 1u) * pixelBytes);
      if (reader.Overrun()) return Error{"TGA: RLE data truncated"};
      for (uint64_t i = 0; i < count; ++i) put(n++, pixels.data() + i * pixelBytes);
    }
  }
  return image;
}

}  // namespace imaging
