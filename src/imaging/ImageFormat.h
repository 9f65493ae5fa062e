#pragma once

#include <cstdint>

// Format identifiers passed to CxImage::LoadFile and CxImage::SaveFile. The values are
// part of the stored settings and of the callers' code, so they never change.
namespace ImageFormat {

enum Id : uint32_t {
  Unknown = 0,  // detect from the content
  Bmp = 1,
  Gif = 2,
  Jpeg = 3,
  Png = 4,
  Ico = 5,
  Tiff = 6,
  Tga = 7,
  Pcx = 8,
  Wbmp = 9,
  Wmf = 10,     // WMF and EMF
  Jp2 = 11,     // JPEG 2000 file format
  J2k = 12,     // JPEG 2000 code stream (.j2k, .jpc)
  Pgx = 13,
  Pnm = 14,
  Ras = 15,     // Sun raster
  Jbig = 16,    // no decoder: always fails
  Mng = 17,     // MNG and JNG
  Ska = 18,
  Raw = 19,     // camera raw
};

inline constexpr uint32_t kCount = 20;

// Short upper-case name of the format ("PNG"), "unknown" for ids outside the table.
const char* Name(uint32_t id);

}  // namespace ImageFormat
