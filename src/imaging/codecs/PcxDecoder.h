#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

struct PcxHeader {
  uint8_t version = 0;
  uint8_t encoding = 0;
  uint8_t bitsPerPlane = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t xDpi = 0;
  uint16_t yDpi = 0;
  uint8_t planes = 0;
  uint16_t bytesPerLine = 0;
};

// ZSoft PCX: 1 bit in 1 to 4 planes (black and white, or 16-colour EGA), 2 and 4 bits in one
// plane, 8 bits with the 256-colour palette at the end of the file, and 8 bits in 3 or 4
// planes (24-bit; the fourth plane is ignored). RLE runs may cross scan lines.
class PcxDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  PcxDecoder(std::span<const uint8_t> bytes, const PcxHeader& header)
      : ImageDecoder(ImageFormat::Pcx), bytes_(bytes), header_(header) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
  PcxHeader header_;
};

}  // namespace imaging
