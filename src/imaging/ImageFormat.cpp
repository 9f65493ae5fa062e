#include "imaging/ImageFormat.h"

namespace ImageFormat {

const char* Name(uint32_t id) {
  static constexpr const char* kNames[kCount] = {
      "unknown", "BMP", "GIF", "JPEG", "PNG", "ICO", "TIFF", "TGA", "PCX", "WBMP",
      "WMF",     "JP2", "J2K", "PGX",  "PNM", "RAS", "JBIG", "MNG", "SKA", "RAW"};
  return id < kCount ? kNames[id] : "unknown";
}

}  // namespace ImageFormat
