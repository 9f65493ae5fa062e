#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

// GIF through giflib's record interface (never DGifSlurp, which would allocate every frame
// at whatever size the file claims). Each image of the file is a frame, drawn alone at its
// position on a canvas of the logical screen's size filled with the background colour;
// interlaced images are de-interlaced; transparency is ignored. Frames are 8-bit with the
// image's own or the global colour table.
class GifDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

  int32_t FrameCount() const override { return frames_; }

 private:
  GifDecoder(std::span<const uint8_t> bytes, int32_t frames)
      : ImageDecoder(ImageFormat::Gif), bytes_(bytes), frames_(frames) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
  int32_t frames_;
};

}  // namespace imaging
