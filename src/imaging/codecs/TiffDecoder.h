#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "imaging/codecs/ImageDecoder.h"
#include "imaging/codecs/TiffStream.h"

namespace imaging {

// TIFF through libtiff: every directory is a page. Strips and tiles; any compression libtiff
// knows (CCITT G3/G4, LZW, PackBits, JPEG, Deflate...). Bilevel pages stay 1-bit (white-is-zero
// pages through their palette, an extra alpha sample dropped), gray and palette pages 4- or
// 8-bit, 16-bit samples are scaled to 8 bits, RGB pages 24-bit; everything else (CMYK, YCbCr,
// planar, alpha...) goes through libtiff's RGBA reader, with alpha composited onto white.
class TiffDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

  ~TiffDecoder() override;
  int32_t FrameCount() const override { return pages_; }

 private:
  TiffDecoder(std::span<const uint8_t> bytes, std::unique_ptr<TiffStream> stream, TiffHandle tiff, int32_t pages);
  Result<CxImage> DecodeFrame(int32_t index) override;
  std::string MissingFrameText() const override { return "Error: page not present in TIFF file"; }

  std::span<const uint8_t> bytes_;
  std::unique_ptr<TiffStream> stream_;
  TiffHandle tiff_;
  int32_t pages_;
};

}  // namespace imaging
