#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

// JPEG through libjpeg-turbo, decoded straight into the image's bottom-up rows: gray images
// become 8-bit with a gray palette, YCbCr and RGB 24-bit (BGR), CMYK and YCCK 24-bit through
// a per-row conversion (Adobe files store the inks inverted). A file that ends before the
// image does is an error, not a page padded with gray.
class JpegDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  explicit JpegDecoder(std::span<const uint8_t> bytes) : ImageDecoder(ImageFormat::Jpeg), bytes_(bytes) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
};

}  // namespace imaging
