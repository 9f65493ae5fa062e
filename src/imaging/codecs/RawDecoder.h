#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

// Camera raw files through LibRaw, developed with the camera's white balance into a 24-bit
// image. LibRaw's identification is the only signature raw files share, so detection tries
// it last. The sizes LibRaw identifies are checked against our limits before it unpacks
// anything, and LibRaw's own allocations are capped.
class RawDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  explicit RawDecoder(std::span<const uint8_t> bytes) : ImageDecoder(ImageFormat::Raw), bytes_(bytes) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
};

}  // namespace imaging
