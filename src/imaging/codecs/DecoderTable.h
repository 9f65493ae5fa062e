#pragma once

#include <cstdint>
#include <span>

#include "imaging/codecs/ImageDecoder.h"

namespace imaging {

// One decoder: a cheap, side-effect-free signature check and the factory that validates the
// header.
struct DecoderEntry {
  uint32_t formatId;
  bool (*sniff)(std::span<const uint8_t> bytes);
  DecoderResult (*create)(std::span<const uint8_t> bytes);
};

// Every decoder in the order detection tries them: BMP, JPEG, ICO, GIF, PNG, TIFF, MNG, TGA,
// PCX, WBMP, WMF, the JPEG 2000 family (JP2, J2K, PGX, PNM, Sun raster), SKA, camera raw.
// Formats without a real signature (TGA, WBMP, SKA, raw) come late so that they never take a
// file that another format recognises.
std::span<const DecoderEntry> DetectionTable();

// The decoder of a format id; nullptr for Unknown, JBIG and ids outside the table.
const DecoderEntry* DecoderFor(uint32_t formatId);

// The format whose decoder accepts `bytes` first in detection order; Unknown when none does.
uint32_t DetectFormat(std::span<const uint8_t> bytes);

}  // namespace imaging
