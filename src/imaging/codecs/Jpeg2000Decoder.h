#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

// JPEG 2000 through OpenJPEG, from memory with its messages captured: the JP2 file format
// (ImageFormat::Jp2) and the bare code stream (ImageFormat::J2k). One or two components
// become 8-bit gray (the second, alpha, ignored), three or more 24-bit RGB; samples of any
// precision are scaled to 8 bits, and subsampled components are stretched to the image.
class Jpeg2000Decoder final : public ImageDecoder {
 public:
  struct Jp2 {
    static bool Sniff(std::span<const uint8_t> bytes);
    static DecoderResult Create(std::span<const uint8_t> bytes);
  };
  struct CodeStream {
    static bool Sniff(std::span<const uint8_t> bytes);
    static DecoderResult Create(std::span<const uint8_t> bytes);
  };

 private:
  Jpeg2000Decoder(std::span<const uint8_t> bytes, uint32_t formatId) : ImageDecoder(formatId), bytes_(bytes) {}
  static DecoderResult CreateFor(std::span<const uint8_t> bytes, uint32_t formatId);
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
};

}  // namespace imaging
