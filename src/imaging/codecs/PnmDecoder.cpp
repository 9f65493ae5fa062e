#include "imaging/codecs/PnmDecoder.h"

#include <cstring>
#include <optional>
#include <string>

#include "imaging/codecs/ByteReader.h"
#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Reads netpbm header tokens and plain-text samples: skips white space and comments, then
// reads a decimal number that must fit `limit`.
class PnmTokenizer {
 public:
  explicit PnmTokenizer(std::span<const uint8_t> bytes, size_t position = 0) : bytes_(bytes), position_(position) {}

  std::optional<uint32_t> Number(uint32_t limit) {
    SkipSpaceAndComments();
    if (position_ >= bytes_.size() || !IsDigit(bytes_[position_])) return std::nullopt;
    uint64_t value = 0;
    while (position_ < bytes_.size() && IsDigit(bytes_[position_])) {
      value = value * 10 + (bytes_[position_++] - '0');
      if (value > limit) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
  }
  // One bit of a plain bitmap: '0' or '1', separators optional.
  std::optional<uint8_t> Bit() {
    SkipSpaceAndComments();
    if (position_ >= bytes_.size()) return std::nullopt;
    const uint8_t c = bytes_[position_++];
    if (c != '0' && c != '1') return std::nullopt;
    return static_cast<uint8_t>(c - '0');
  }
  // Exactly one white-space byte ends the header of the raw formats.
  bool SingleSpace() {
    if (position_ >= bytes_.size() || !IsSpace(bytes_[position_])) return false;
    ++position_;
    return true;
  }
  size_t Position() const { return position_; }

 private:
  void SkipSpaceAndComments() {
    while (position_ < bytes_.size()) {
      const uint8_t c = bytes_[position_];
      if (IsSpace(c)) {
        ++position_;
      } else if (c == '#') {
        while (position_ < bytes_.size() && bytes_[position_] != '\n' && bytes_[position_] != '\r') ++position_;
      } else {
        return;
      }
    }
  }

  std::span<const uint8_t> bytes_;
  size_t position_;
};

bool HasMagic(std::span<const uint8_t> bytes) {
  return bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6' && (IsSpace(bytes[2]) || bytes[2] == '#');
}

bool IsBitmap(char kind) { return kind == '1' || kind == '4'; }
bool IsPixmap(char kind) { return kind == '3' || kind == '6'; }
bool IsRaw(char kind) { return kind >= '4'; }

Result<PnmHeader> ParseHeader(std::span<const uint8_t> bytes) {
  if (!HasMagic(bytes)) return Error{"PNM: not a netpbm file"};
  PnmHeader h;
  h.kind = static_cast<char>(bytes[1]);
  PnmTokenizer tokens(bytes, 2);
  const auto width = tokens.Number(INT32_MAX);
  const auto height = tokens.Number(INT32_MAX);
  if (!width || !height) return Error{"PNM: invalid width or height"};
  if (*width == 0 || *height == 0) return Error{"PNM: image has no pixels"};
  h.width = *width;
  h.height = *height;
  if (!IsBitmap(h.kind)) {
    const auto maxValue = tokens.Number(65535);
    // Zero would divide by zero when samples are scaled.
    if (!maxValue || *maxValue == 0) return Error{"PNM: maximum value must be 1 to 65535"};
    h.maxValue = *maxValue;
  }
  if (IsRaw(h.kind) && !tokens.SingleSpace()) return Error{"PNM: header not followed by white space"};
  h.dataOffset = tokens.Position();
  return h;
}

uint32_t SamplesPerPixel(const PnmHeader& h) { return IsPixmap(h.kind) ? 3 : 1; }

// Smallest number of data bytes the image can have, checked before allocating.
uint64_t MinimumDataBytes(const PnmHeader& h) {
  const uint64_t pixels = uint64_t{h.width} * h.height;
  switch (h.kind) {
    case '1': return pixels;                                     // one digit per pixel
    case '4': return (uint64_t{h.width} + 7) / 8 * h.height;
    case '2': case '3': return pixels * SamplesPerPixel(h) * 2 - 1;  // digit and separator
    default: return pixels * SamplesPerPixel(h) * (h.maxValue > 255 ? 2 : 1);
  }
}

uint8_t Scale(uint32_t sample, uint32_t maxValue) {
  if (sample >= maxValue) return 255;
  return static_cast<uint8_t>((uint64_t{sample} * 255 + maxValue / 2) / maxValue);
}

}  // namespace

bool PnmDecoder::Sniff(std::span<const uint8_t> bytes) { return HasMagic(bytes); }

DecoderResult PnmDecoder::Create(std::span<const uint8_t> bytes) {
  auto header = ParseHeader(bytes);
  if (header.IsError()) return header.TakeError();
  const PnmHeader& h = header.Value();
  const uint32_t bpp = IsBitmap(h.kind) ? 1 : IsPixmap(h.kind) ? 24 : 8;
  if (!WithinImageLimit(h.width, h.height, bpp)) return Error{TooLargeText("PNM", h.width, h.height)};
  return std::unique_ptr<ImageDecoder>(new PnmDecoder(bytes, h));
}

Result<CxImage> PnmDecoder::DecodeFrame(int32_t) {
  const PnmHeader& h = header_;
  if (MinimumDataBytes(h) > bytes_.size() - h.dataOffset) return Error{"PNM: image data truncated"};
  const uint32_t bpp = IsBitmap(h.kind) ? 1 : IsPixmap(h.kind) ? 24 : 8;
  auto created = NewImage(h.width, h.height, bpp, ImageFormat::Pnm, "PNM", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  if (bpp == 1) SetTwoColors(image, kWhite, kBlack);
  if (bpp == 8) image.SetGrayPalette();

  const uint32_t samplesPerRow = h.width * SamplesPerPixel(h);
  if (h.kind == '4') {
    const size_t rowBytes = (size_t{h.width} + 7) / 8;
    for (uint32_t y = 0; y < h.height; ++y)
      std::memcpy(PictureRow(image, y), bytes_.data() + h.dataOffset + rowBytes * y, rowBytes);
    return image;
  }
  if (h.kind == '1') {
    PnmTokenizer tokens(bytes_, h.dataOffset);
    for (uint32_t y = 0; y < h.height; ++y) {
      uint8_t* row = PictureRow(image, y);
      for (uint32_t x = 0; x < h.width; ++x) {
        const auto bit = tokens.Bit();
        if (!bit) return Error{"PNM: invalid or missing bitmap data"};
        row[x / 8] |= static_cast<uint8_t>(*bit << (7 - x % 8));
      }
    }
    return image;
  }
  // Samples in file order; pixmaps arrive red, green, blue and are stored blue first.
  auto store = [&](uint8_t* row, uint32_t i, uint8_t value) {
    if (bpp == 8) {
      row[i] = value;
      return;
    }
    row[i - 2 * (i % 3) + 2] = value;  // position of sample i inside its reversed triple
  };
  if (h.kind == '2' || h.kind == '3') {
    PnmTokenizer tokens(bytes_, h.dataOffset);
    for (uint32_t y = 0; y < h.height; ++y) {
      uint8_t* row = PictureRow(image, y);
      for (uint32_t i = 0; i < samplesPerRow; ++i) {
        const auto sample = tokens.Number(UINT32_MAX);
        if (!sample) return Error{"PNM: invalid or missing sample"};
        store(row, i, Scale(*sample, h.maxValue));
      }
    }
    return image;
  }
  const uint8_t* data = bytes_.data() + h.dataOffset;
  const bool wide = h.maxValue > 255;
  for (uint32_t y = 0; y < h.height; ++y) {
    uint8_t* row = PictureRow(image, y);
    for (uint32_t i = 0; i < samplesPerRow; ++i, data += wide ? 2 : 1)
      store(row, i, Scale(wide ? LoadBE16(data) : *data, h.maxValue));
  }
  return image;
}

}  // namespace imaging
