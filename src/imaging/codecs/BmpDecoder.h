#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

struct BmpLayout;

// Windows and OS/2 bitmaps: 1, 4, 8, 16, 24 and 32 bits, uncompressed, RLE4, RLE8 and bit
// fields, bottom-up and top-down. 16- and 32-bit pixels become 24-bit; alpha is ignored.
class BmpDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

  // Decodes a bitmap without its file header, as icons embed them: the stored height covers
  // the colour rows and the 1-bit mask after them; the mask is ignored.
  static Result<CxImage> DecodeIconDib(std::span<const uint8_t> dib);

  ~BmpDecoder() override;

 private:
  BmpDecoder(std::span<const uint8_t> bytes, const BmpLayout& layout);
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
  std::unique_ptr<BmpLayout> layout_;
};

}  // namespace imaging
