#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

// Windows metafiles (placeable and plain WMF) and enhanced metafiles (EMF). They are vector
// drawings that only a GDI player renders, and there is none here: the header is recognised
// so that such a file gets a clear error instead of "unknown format".
class WmfDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  WmfDecoder() : ImageDecoder(ImageFormat::Wmf) {}
  Result<CxImage> DecodeFrame(int32_t index) override;
};

}  // namespace imaging
