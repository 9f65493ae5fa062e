#include "imaging/codecs/PgxDecoder.h"

#include <optional>
#include <string>

#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

bool IsBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

class PgxCursor {
 public:
  explicit PgxCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  void SkipBlanks() {
    while (position_ < bytes_.size() && IsBlank(bytes_[position_])) ++position_;
  }
  bool Literal(const char* text) {
    for (size_t i = 0; text[i] != '\0'; ++i)
      if (position_ + i >= bytes_.size() || bytes_[position_ + i] != static_cast<uint8_t>(text[i])) return false;
    position_ += std::char_traits<char>::length(text);
    return true;
  }
  std::optional<uint32_t> Number() {
    SkipBlanks();
    uint64_t value = 0;
    const size_t start = position_;
    while (position_ < bytes_.size() && bytes_[position_] >= '0' && bytes_[position_] <= '9') {
      value = value * 10 + (bytes_[position_++] - '0');
      if (value > INT32_MAX) return std::nullopt;
    }
    if (position_ == start) return std::nullopt;
    return static_cast<uint32_t>(value);
  }
  bool Blank() {
    if (position_ >= bytes_.size() || !IsBlank(bytes_[position_])) return false;
    ++position_;
    return true;
  }
  size_t Position() const { return position_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

Result<PgxHeader> ParseHeader(std::span<const uint8_t> bytes) {
  PgxCursor cursor(bytes);
  PgxHeader h;
  if (!cursor.Literal("PG") || !cursor.Blank()) return Error{"PGX: not a PGX file"};
  cursor.SkipBlanks();
  if (cursor.Literal("ML")) {
    h.bigEndian = true;
  } else if (cursor.Literal("LM")) {
    h.bigEndian = false;
  } else {
    return Error{"PGX: unknown byte order"};
  }
  cursor.SkipBlanks();
  if (cursor.Literal("-")) {
    h.isSigned = true;
  } else {
    (void)cursor.Literal("+");
  }
  const auto depth = cursor.Number();
  const auto width = cursor.Number();
  const auto height = cursor.Number();
  if (!depth || !width || !height) return Error{"PGX: invalid header"};
  if (*depth == 0 || *depth > 16) return Error{"PGX: depth of " + std::to_string(*depth) + " bits is not supported"};
  if (*width == 0 || *height == 0) return Error{"PGX: image has no pixels"};
  if (!cursor.Blank()) return Error{"PGX: header not followed by a line end"};
  h.depth = *depth;
  h.width = *width;
  h.height = *height;
  h.dataOffset = cursor.Position();
  return h;
}

}  // namespace

bool PgxDecoder::Sniff(std::span<const uint8_t> bytes) {
  if (bytes.size() < 6 || bytes[0] != 'P' || bytes[1] != 'G' || !IsBlank(bytes[2])) return false;
  size_t i = 2;
  while (i < bytes.size() && IsBlank(bytes[i])) ++i;
  return i + 1 < bytes.size() &&
         ((bytes[i] == 'M' && bytes[i + 1] == 'L') || (bytes[i] == 'L' && bytes[i + 1] == 'M'));
}

DecoderResult PgxDecoder::Create(std::span<const uint8_t> bytes) {
  auto header = ParseHeader(bytes);
  if (header.IsError()) return header.TakeError();
  if (!WithinImageLimit(header.Value().width, header.Value().height, 8)) return Error{TooLargeText("PGX", header.Value().width, header.Value().height)};
  return std::unique_ptr<ImageDecoder>(new PgxDecoder(bytes, header.Value()));
}

Result<CxImage> PgxDecoder::DecodeFrame(int32_t) {
  const PgxHeader& h = header_;
  const size_t sampleBytes = h.depth <= 8 ? 1 : 2;
  if (uint64_t{h.width} * h.height * sampleBytes > bytes_.size() - h.dataOffset) return Error{"PGX: image data truncated"};
  auto created = NewImage(h.width, h.height, 8, ImageFormat::Pgx, "PGX", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  image.SetGrayPalette();

  const uint32_t maxValue = (1u << h.depth) - 1;
  const uint32_t mask = sampleBytes == 1 ? 0xFFu : 0xFFFFu;
  const uint8_t* data = bytes_.data() + h.dataOffset;
  for (uint32_t y = 0; y < h.height; ++y) {
    uint8_t* row = PictureRow(image, y);
    for (uint32_t x = 0; x < h.width; ++x, data += sampleBytes) {
      uint32_t raw = sampleBytes == 1 ? data[0] : h.bigEndian ? LoadBE16(data) : LoadLE16(data);
      int64_t value = raw & mask;
      if (h.isSigned) {
        // Two's complement in the sample's container, shifted so the range starts at zero.
        const uint32_t signBit = sampleBytes == 1 ? 0x80u : 0x8000u;
        if (raw & signBit) value -= int64_t{mask} + 1;
        value += int64_t{1} << (h.depth - 1);
      }
      const uint32_t sample = value < 0 ? 0 : value > maxValue ? maxValue : static_cast<uint32_t>(value);
      row[x] = h.depth > 8 ? static_cast<uint8_t>(sample >> (h.depth - 8))
                           : static_cast<uint8_t>((sample * 255 + maxValue / 2) / maxValue);
    }
  }
  return image;
}

}  // namespace imaging
