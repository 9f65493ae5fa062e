#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

struct PgxHeader {
  bool bigEndian = true;
  bool isSigned = false;
  uint32_t depth = 8;
  uint32_t width = 0;
  uint32_t height = 0;
  size_t dataOffset = 0;
};

// PGX, the one-component raw format of the JPEG 2000 test suites: "PG ML|LM [+|-]depth width
// height", then samples of 1 byte (depth up to 8) or 2 bytes (up to 16). Decoded as 8-bit gray;
// signed samples are shifted to start at zero.
class PgxDecoder final : public ImageDecoder {
 public:
  static bool Sniff(std::span<const uint8_t> bytes);
  static DecoderResult Create(std::span<const uint8_t> bytes);

 private:
  PgxDecoder(std::span<const uint8_t> bytes, const PgxHeader& header)
      : ImageDecoder(ImageFormat::Pgx), bytes_(bytes), header_(header) {}
  Result<CxImage> DecodeFrame(int32_t index) override;

  std::span<const uint8_t> bytes_;
  PgxHeader header_;
};

}  // namespace imaging
