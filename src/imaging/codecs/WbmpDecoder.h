#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

// Wireless bitmap, type 0 only: 1 bit per pixel, 1 = white. WBMP has no signature; detection
// takes a file only when its size matches the header exactly.
class WbmpDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  WbmpDecoder(std::span<const uint8_t> bytes, uint32_t width, uint32_t height, size_t dataOffset)
      : ImageDecoder(ImageFormat::Wbmp), bytes_(bytes), width_(width), height_(height), dataOffset_(dataOffset) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
  uint32_t width_;
  uint32_t height_;
  size_t dataOffset_;
};

}  // namespace imaging
