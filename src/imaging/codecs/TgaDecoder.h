#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

struct TgaHeader {
  uint8_t idLength = 0;
  uint8_t colorMapType = 0;
  uint8_t imageType = 0;
  uint16_t colorMapFirst = 0;
  uint16_t colorMapLength = 0;
  uint8_t colorMapEntryBits = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t pixelBits = 0;
  uint8_t descriptor = 0;
};

// Truevision TGA: colour-mapped, true-colour and gray images, uncompressed and RLE, any
// origin. 15/16/32-bit pixels become 24-bit (alpha ignored), colour-mapped and gray 8-bit.
// TGA has no signature, so detection tries it late and only when the whole header is sane.
class TgaDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  TgaDecoder(std::span<const uint8_t> bytes, const TgaHeader& header)
      : ImageDecoder(ImageFormat::Tga), bytes_(bytes), header_(header) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
  TgaHeader header_;
};

}  // namespace imaging
