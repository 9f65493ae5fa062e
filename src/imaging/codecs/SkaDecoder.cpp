#include "imaging/codecs/SkaDecoder.h"

#include <cstring>

#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

constexpr uint8_t kDepthExponent = 3;

bool HasSkaHeader(std::span<const uint8_t> bytes) {
  return bytes.size() >= SkaDecoder::kHeaderSize && LoadLE16(bytes.data()) > 0 && LoadLE16(bytes.data() + 2) > 0 &&
         bytes[4] == kDepthExponent;
}

uint64_t ExpectedSize(std::span<const uint8_t> bytes) {
  return SkaDecoder::kHeaderSize + SkaDecoder::kPaletteSize + uint64_t{LoadLE16(bytes.data())} * LoadLE16(bytes.data() + 2);
}

}  // namespace

bool SkaDecoder::Sniff(std::span<const uint8_t> bytes) {
  return HasSkaHeader(bytes) && ExpectedSize(bytes) == bytes.size();
}

DecoderResult SkaDecoder::Create(std::span<const uint8_t> bytes) {
  if (!HasSkaHeader(bytes)) return Error{"SKA: not an 8-bit SKA file"};
  if (ExpectedSize(bytes) > bytes.size()) return Error{"SKA: file truncated"};
  return std::unique_ptr<ImageDecoder>(new SkaDecoder(bytes, LoadLE16(bytes.data()), LoadLE16(bytes.data() + 2)));
}

Result<CxImage> SkaDecoder::DecodeFrame(int32_t) {
  auto created = NewImage(width_, height_, 8, ImageFormat::Ska, "SKA", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  const uint8_t* palette = bytes_.data() + kHeaderSize;
  for (uint32_t i = 0; i < 256; ++i) image.SetPaletteColor(i, MakeRgb(palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]));
  const uint8_t* pixels = palette + kPaletteSize;
  for (uint32_t y = 0; y < height_; ++y) std::memcpy(PictureRow(image, y), pixels + size_t{width_} * y, width_);
  return image;
}

}  // namespace imaging
