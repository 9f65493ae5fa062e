#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

// MNG animations and JNG images through libmng: the first frame, composited onto white,
// as a 24-bit image. Before libmng sees the bytes, our own pass checks the chunk structure
// (lengths inside the file, CRCs) and the header's size, so the library only gets files that
// are well-formed at the chunk level and of a size we accept.
class MngDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  explicit MngDecoder(std::span<const uint8_t> bytes) : ImageDecoder(ImageFormat::Mng), bytes_(bytes) {}
  Result<CxImage> DecodeFrame(int32_t index) override;
  std::string MissingFrameText() const override { return "Error: frame not present in MNG file"; }

  std::span<const uint8_t> bytes_;
};

}  // namespace imaging
