#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

struct PngHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  int bitDepth = 0;
  int colorType = 0;
  int interlace = 0;
};

// PNG through libpng: every colour type and depth. 16-bit samples are scaled to 8 bits.
// Alpha is composited onto white, the colour of paper, so that transparent areas of a page
// read as background; palette transparency (tRNS) is applied to the palette the same way.
// A transparent colour key is ignored. Gray and palette images keep their palette form
// (2-bit ones become 8-bit); colour images become 24-bit.
class PngDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  PngDecoder(std::span<const uint8_t> bytes, const PngHeader& header)
      : ImageDecoder(ImageFormat::Png), bytes_(bytes), header_(header) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
  PngHeader header_;
};

}  // namespace imaging
