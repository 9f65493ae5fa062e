#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

struct RasHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t depth = 0;
  uint32_t type = 0;
  uint32_t mapType = 0;
  uint32_t mapLength = 0;
};

// Sun raster: 1 bit (1 = black), 8 bits with or without colour map, 24 and 32 bits in BGR or
// (type 3) RGB order; standard and byte-encoded (RLE) data. Rows are padded to 16 bits.
class RasDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  RasDecoder(std::span<const uint8_t> bytes, const RasHeader& header)
      : ImageDecoder(ImageFormat::Ras), bytes_(bytes), header_(header) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
  RasHeader header_;
};

}  // namespace imaging
