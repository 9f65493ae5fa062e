#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

struct PnmHeader {
  char kind = 0;  // '1' .. '6'
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t maxValue = 1;
  size_t dataOffset = 0;
};

// Netpbm P1 to P6, plain and raw: bitmaps become 1-bit (1 = black), gray maps 8-bit gray,
// pixmaps 24-bit; samples are scaled from their maximum value (1..65535) to 8 bits, and a
// sample above the maximum counts as the maximum. Only the first image of a file is read.
class PnmDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  PnmDecoder(std::span<const uint8_t> bytes, const PnmHeader& header)
      : ImageDecoder(ImageFormat::Pnm), bytes_(bytes), header_(header) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
  PnmHeader header_;
};

}  // namespace imaging
