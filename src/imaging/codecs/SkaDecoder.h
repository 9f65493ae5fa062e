#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

// SKA, a bare 8-bit palette image. Layout, all little-endian:
//   offset 0  uint16 width (> 0)
//   offset 2  uint16 height (> 0)
//   offset 4  uint8  bit-depth exponent, 3 (2^3 = 8 bits per pixel; nothing else exists)
//   offset 5  uint32 reserved, ignored
//   offset 9  256 palette entries of 3 bytes: red, green, blue
//   offset 777 width x height pixel indices, top row first, rows not padded
// With no signature, detection takes a file only when its size is exactly that of the layout;
// decoding it as SKA on purpose accepts trailing bytes.
class SkaDecoder final : public ImageDecoder {
 public:
  static constexpr size_t kHeaderSize = 9;
  static constexpr size_t kPaletteSize = 256 * 3;

  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  SkaDecoder(std::span<const uint8_t> bytes, uint16_t width, uint16_t height)
      : ImageDecoder(ImageFormat::Ska), bytes_(bytes), width_(width), height_(height) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
  uint16_t width_;
  uint16_t height_;
};

}  // namespace imaging
