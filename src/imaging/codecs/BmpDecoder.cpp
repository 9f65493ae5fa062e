#include "imaging/codecs/BmpDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <string>

#include "imaging/codecs/ByteReader.h"
#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

constexpr size_t kFileHeaderSize = 14;

enum class BmpCompression { None, Rle8, Rle4, BitFields };

struct ChannelMask {
  uint32_t mask = 0;
  uint32_t shift = 0;
  uint32_t max = 0;  // mask >> shift

  static std::optional<ChannelMask> From(uint32_t mask) {
    ChannelMask channel;
    if (mask == 0) return channel;
    channel.mask = mask;
    channel.shift = static_cast<uint32_t>(std::countr_zero(mask));
    channel.max = mask >> channel.shift;
    if ((channel.max & (channel.max + 1)) != 0) return std::nullopt;  // holes in the mask
    return channel;
  }
  uint8_t Extract(uint32_t pixel) const {
    if (max == 0) return 0;
    const uint64_t value = (pixel & mask) >> shift;
    return static_cast<uint8_t>((value * 255 + max / 2) / max);
  }
};

bool IsOs2HeaderSize(uint32_t size) {
  return size == 12 || (size >= 16 && size <= 64 && size != 40 && size != 52 && size != 56);
}

bool IsKnownHeaderSize(uint32_t size) {
  return size == 12 || (size >= 16 && size <= 64) || size == 108 || size == 124;
}

}  // namespace

struct BmpLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  bool topDown = false;
  uint32_t bpp = 0;
  BmpCompression compression = BmpCompression::None;
  std::array<ChannelMask, 3> masks{};  // red, green, blue
  size_t pixelOffset = 0;
  std::array<RgbQuad, 256> palette{};
  uint32_t paletteSize = 0;
  int32_t xPpm = 0;
  int32_t yPpm = 0;
};

namespace {

std::string BmpError(const std::string& text) { return "BMP: " + text; }

std::string HexText(uint32_t value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
  return text;
}

// Parses the DIB header at `dibOffset`. A file gives its pixel offset; an icon's pixels follow
// the palette, and its stored height counts the mask rows too.
Result<BmpLayout> ParseDib(std::span<const uint8_t> bytes, size_t dibOffset,
                           std::optional<size_t> filePixelOffset) {
  const bool icon = !filePixelOffset.has_value();
  ByteReader reader(bytes);
  if (!reader.Seek(dibOffset)) return Error{BmpError("file truncated")};
  const uint32_t headerSize = reader.LE32();
  if (reader.Overrun()) return Error{BmpError("file truncated")};
  if (!IsKnownHeaderSize(headerSize))
    return Error{BmpError("unknown header size " + std::to_string(headerSize))};
  if (headerSize > reader.Remaining() + 4) return Error{BmpError("header truncated")};

  BmpLayout layout;
  int64_t width = 0;
  int64_t height = 0;
  uint16_t planes = 0;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  size_t paletteEntrySize = 4;
  if (headerSize == 12) {
    width = reader.LE16();
    height = static_cast<int16_t>(reader.LE16());
    planes = reader.LE16();
    layout.bpp = reader.LE16();
    paletteEntrySize = 3;
  } else {
    width = static_cast<int32_t>(reader.LE32());
    height = static_cast<int32_t>(reader.LE32());
    planes = reader.LE16();
    layout.bpp = reader.LE16();
    if (headerSize >= 20) compression = reader.LE32();
    if (headerSize >= 24) reader.LE32();  // image size: recomputed, writers get it wrong
    if (headerSize >= 32) {
      layout.xPpm = static_cast<int32_t>(reader.LE32());
      layout.yPpm = static_cast<int32_t>(reader.LE32());
    }
    if (headerSize >= 36) colorsUsed = reader.LE32();
    // Colours important: read past, so that V2 to V5 headers find their masks at offset 40.
    if (headerSize >= 40) reader.LE32();
  }
  if (width <= 0) return Error{BmpError("width must be positive (" + std::to_string(width) + ")")};
  if (height == 0 || height == INT32_MIN) return Error{BmpError("invalid height " + std::to_string(height))};
  if (planes != 1) return Error{BmpError("planes must be 1 (" + std::to_string(planes) + ")")};
  switch (layout.bpp) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return Error{BmpError("unsupported bit depth " + std::to_string(layout.bpp))};
  }

  const bool os2 = IsOs2HeaderSize(headerSize);
  uint32_t maskValues[3] = {0, 0, 0};
  size_t afterHeader = dibOffset + headerSize;
  switch (compression) {
    case 0:
      layout.compression = BmpCompression::None;
      if (layout.bpp == 16) maskValues[0] = 0x7C00, maskValues[1] = 0x03E0, maskValues[2] = 0x001F;
      if (layout.bpp == 32) maskValues[0] = 0xFF0000, maskValues[1] = 0xFF00, maskValues[2] = 0xFF;
      break;
    case 1:
      if (layout.bpp != 8) return Error{BmpError("RLE8 needs 8-bit pixels, not " + std::to_string(layout.bpp))};
      layout.compression = BmpCompression::Rle8;
      break;
    case 2:
      if (layout.bpp != 4) return Error{BmpError("RLE4 needs 4-bit pixels, not " + std::to_string(layout.bpp))};
      layout.compression = BmpCompression::Rle4;
      break;
    case 3:
    case 6:
      if (os2 && compression == 3) return Error{BmpError("OS/2 Huffman-compressed bitmaps are not supported")};
      if (os2) return Error{BmpError("unknown compression " + std::to_string(compression))};
      if (layout.bpp != 16 && layout.bpp != 32) return Error{BmpError("bit fields need 16- or 32-bit pixels, not " + std::to_string(layout.bpp))};
      layout.compression = BmpCompression::BitFields;
      if (headerSize == 40) {
        // The masks follow a plain info header (three, or four with alpha).
        if (!reader.Seek(afterHeader)) return Error{BmpError("file truncated")};
        afterHeader += compression == 6 ? 16 : 12;
      }
      maskValues[0] = reader.LE32();
      maskValues[1] = reader.LE32();
      maskValues[2] = reader.LE32();
      if (reader.Overrun()) return Error{BmpError("bit masks truncated")};
      break;
    case 4:
      if (os2) return Error{BmpError("OS/2 RLE24 bitmaps are not supported")};
      return Error{BmpError("JPEG-compressed bitmaps are not supported")};
    case 5: return Error{BmpError("PNG-compressed bitmaps are not supported")};
    default: return Error{BmpError("unknown compression " + std::to_string(compression))};
  }
  for (int c = 0; c < 3; ++c) {
    const auto channel = ChannelMask::From(maskValues[c]);
    if (!channel) return Error{BmpError("bit mask with gaps (" + HexText(maskValues[c]) + ")")};
    layout.masks[c] = *channel;
  }

  layout.topDown = height < 0;
  if (layout.topDown && layout.compression != BmpCompression::None &&
      layout.compression != BmpCompression::BitFields)
    return Error{BmpError("RLE bitmaps cannot be top-down")};
  uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
  if (icon) rows /= 2;  // colour rows, then as many mask rows
  if (rows == 0) return Error{BmpError("icon bitmap has no rows")};
  layout.width = static_cast<uint32_t>(width);
  layout.height = static_cast<uint32_t>(rows);
  if (!WithinImageLimit(layout.width, layout.height, layout.bpp))
    return Error{TooLargeText("BMP", layout.width, layout.height)};

  // Palette: the header's count, or the full table for the depth.
  uint64_t paletteEntries = 0;
  if (layout.bpp <= 8) {
    const uint32_t full = 1u << layout.bpp;
    paletteEntries = colorsUsed != 0 ? colorsUsed : full;
    if (paletteEntries > 4096) return Error{BmpError("palette of " + std::to_string(paletteEntries) + " entries")};
    layout.paletteSize = static_cast<uint32_t>(std::min<uint64_t>(paletteEntries, full));
    if (afterHeader + paletteEntrySize * layout.paletteSize > bytes.size())
      return Error{BmpError("palette outside the file")};
    for (uint32_t i = 0; i < layout.paletteSize; ++i) {
      const uint8_t* entry = bytes.data() + afterHeader + i * paletteEntrySize;
      layout.palette[i] = RgbQuad{entry[0], entry[1], entry[2], 0};
    }
  }

  layout.pixelOffset = filePixelOffset ? *filePixelOffset : afterHeader + paletteEntrySize * paletteEntries;
  if (layout.pixelOffset >= bytes.size()) return Error{BmpError("pixel data offset outside the file")};
  if (layout.compression == BmpCompression::None || layout.compression == BmpCompression::BitFields) {
    const uint64_t stride = StrideOf(layout.width, layout.bpp);
    const uint64_t lastRow = (uint64_t{layout.width} * layout.bpp + 7) / 8;
    // Padding after the last row is often missing; everything else must be there.
    const uint64_t needed = stride * (layout.height - 1) + lastRow;
    if (needed > bytes.size() - layout.pixelOffset) return Error{BmpError("pixel data truncated")};
  }
  return layout;
}

void DecodeMasked(const BmpLayout& layout, std::span<const uint8_t> bytes, CxImage& image) {
  const uint64_t stride = StrideOf(layout.width, layout.bpp);
  const bool plain32 = layout.bpp == 32 && layout.masks[0].mask == 0xFF0000 &&
                       layout.masks[1].mask == 0xFF00 && layout.masks[2].mask == 0xFF;
  for (uint32_t y = 0; y < layout.height; ++y) {
    const uint8_t* src = bytes.data() + layout.pixelOffset + stride * y;
    uint8_t* dst = image.GetBits(layout.topDown ? layout.height - 1 - y : y);
    for (uint32_t x = 0; x < layout.width; ++x, dst += 3) {
      if (plain32) {
        std::memcpy(dst, src + 4 * size_t{x}, 3);
        continue;
      }
      const uint32_t pixel = layout.bpp == 16 ? LoadLE16(src + 2 * size_t{x}) : LoadLE32(src + 4 * size_t{x});
      dst[0] = layout.masks[2].Extract(pixel);
      dst[1] = layout.masks[1].Extract(pixel);
      dst[2] = layout.masks[0].Extract(pixel);
    }
  }
}

void PutIndex(CxImage& image, uint32_t bpp, uint32_t x, uint32_t y, uint8_t index) {
  uint8_t* row = image.GetBits(y);
  if (bpp == 8) {
    row[x] = index;
    return;
  }
  uint8_t& byte = row[x / 2];
  byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | (index & 0x0F))
                 : static_cast<uint8_t>((byte & 0x0F) | (index << 4));
}

// Runs and escapes of RLE4/RLE8. Runs are clipped to the row and the image, so a hostile
// stream writes nothing outside; missing pixels stay index 0.
Status DecodeRle(const BmpLayout& layout, std::span<const uint8_t> bytes, CxImage& image) {
  ByteReader reader(bytes.subspan(layout.pixelOffset));
  const uint32_t bpp = layout.bpp;
  uint64_t x = 0;  // deltas may carry it far past the row; it never wraps
  uint64_t y = 0;  // stored row, 0 = bottom
  while (y < layout.height) {
    const uint8_t count = reader.U8();
    const uint8_t value = reader.U8();
    if (reader.Overrun()) return Error{BmpError("RLE data truncated")};
    if (count > 0) {
      for (uint32_t i = 0; i < count && x < layout.width; ++i, ++x) {
        const uint8_t index = bpp == 8 ? value : ((i & 1) ? (value & 0x0F) : (value >> 4));
        PutIndex(image, bpp, static_cast<uint32_t>(x), static_cast<uint32_t>(y), index);
      }
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return Status::Ok();
      case 2: {  // delta
        const uint8_t dx = reader.U8();
        const uint8_t dy = reader.U8();
        if (reader.Overrun()) return Error{BmpError("RLE data truncated")};
        x += dx;
        y += dy;
        break;
      }
      default: {  // literal pixels, padded to a 16-bit boundary
        const uint32_t literalBytes = bpp == 8 ? value : (value + 1u) / 2;
        const auto literal = reader.Bytes(literalBytes);
        if (reader.Overrun()) return Error{BmpError("RLE data truncated")};
        for (uint32_t i = 0; i < value && x < layout.width; ++i, ++x) {
          const uint8_t index = bpp == 8 ? literal[i] : ((i & 1) ? (literal[i / 2] & 0x0F) : (literal[i / 2] >> 4));
          PutIndex(image, bpp, static_cast<uint32_t>(x), static_cast<uint32_t>(y), index);
        }
        if (literalBytes & 1) reader.Skip(1);
        break;
      }
    }
  }
  return Status::Ok();
}

Result<CxImage> DecodeLayout(const BmpLayout& layout, std::span<const uint8_t> bytes) {
  const uint32_t outBpp = layout.bpp <= 8 ? layout.bpp : 24;
  auto created = NewImage(layout.width, layout.height, outBpp, ImageFormat::Bmp, "BMP", bytes.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  for (uint32_t i = 0; i < layout.paletteSize; ++i) image.SetPaletteColor(i, layout.palette[i]);
  SetResolutionFromPixelsPerMeter(image, layout.xPpm, layout.yPpm);

  switch (layout.compression) {
    case BmpCompression::Rle8:
    case BmpCompression::Rle4: {
      auto status = DecodeRle(layout, bytes, image);
      if (status.IsError()) return status.TakeError();
      return image;
    }
    case BmpCompression::BitFields:
      DecodeMasked(layout, bytes, image);
      return image;
    case BmpCompression::None:
      break;
  }
  if (layout.bpp == 16 || layout.bpp == 32) {
    DecodeMasked(layout, bytes, image);
    return image;
  }
  // 1, 4, 8 and 24 bits: the file's rows are already in the image's layout.
  const uint64_t stride = StrideOf(layout.width, layout.bpp);
  const size_t rowBytes = (size_t{layout.width} * layout.bpp + 7) / 8;
  for (uint32_t y = 0; y < layout.height; ++y) {
    const uint8_t* src = bytes.data() + layout.pixelOffset + stride * y;
    std::memcpy(image.GetBits(layout.topDown ? layout.height - 1 - y : y), src, rowBytes);
  }
  return image;
}

}  // namespace

BmpDecoder::BmpDecoder(std::span<const uint8_t> bytes, const BmpLayout& layout)
    : ImageDecoder(ImageFormat::Bmp), bytes_(bytes), layout_(std::make_unique<BmpLayout>(layout)) {}

BmpDecoder::~BmpDecoder() = default;

bool BmpDecoder::Sniff(std::span<const uint8_t> bytes) {
  if (bytes.size() < kFileHeaderSize + 4 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  return IsKnownHeaderSize(LoadLE32(bytes.data() + kFileHeaderSize));
}

DecoderResult BmpDecoder::Create(std::span<const uint8_t> bytes) {
  if (bytes.size() < kFileHeaderSize || bytes[0] != 'B' || bytes[1] != 'M')
    return Error{BmpError("not a bitmap file")};
  // The stored file size is ignored: writers often get it wrong, and the real length is known.
  const uint32_t pixelOffset = LoadLE32(bytes.data() + 10);
  auto layout = ParseDib(bytes, kFileHeaderSize, pixelOffset);
  if (layout.IsError()) return layout.TakeError();
  return std::unique_ptr<ImageDecoder>(new BmpDecoder(bytes, layout.Value()));
}

Result<CxImage> BmpDecoder::DecodeFrame(int32_t) { return DecodeLayout(*layout_, bytes_); }

Result<CxImage> BmpDecoder::DecodeIconDib(std::span<const uint8_t> dib) {
  auto layout = ParseDib(dib, 0, std::nullopt);
  if (layout.IsError()) return layout.TakeError();
  return DecodeLayout(layout.Value(), dib);
}

}  // namespace imaging
