#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

// Windows icons and cursors: every image of the directory is a frame. Images are bitmaps
// without file header (the AND mask is ignored) or embedded PNG files, each handed to its
// decoder on a sub-span checked against the file first.
class IcoDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

  int32_t FrameCount() const override { return static_cast<int32_t>(images_.size()); }

 private:
  explicit IcoDecoder(std::vector<std::span<const uint8_t>> images)
      : ImageDecoder(ImageFormat::Ico), images_(std::move(images)) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  // Each image's bytes inside the file, checked at creation.
  std::vector<std::span<const uint8_t>> images_;
};

}  // namespace imaging
