#pragma once

// Writers for the file formats our decoders read, so that every decoder test starts from a
// file made here from a known image: byte by byte for the simple formats, through the
// libraries for the others.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/CxImage.h"

namespace fixtures {

using Bytes = std::vector<uint8_t>;

// Appends integers and text in either byte order.
class ByteWriter {
 public:
  ByteWriter& U8(uint32_t v) { bytes_.push_back(static_cast<uint8_t>(v)); return *this; }
  ByteWriter& LE16(uint32_t v) { return U8(v).U8(v >> 8); }
  ByteWriter& LE32(uint32_t v) { return LE16(v).LE16(v >> 16); }
  ByteWriter& BE16(uint32_t v) { return U8(v >> 8).U8(v); }
  ByteWriter& BE32(uint32_t v) { return BE16(v >> 16).BE16(v); }
  ByteWriter& Text(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); return *this; }
  ByteWriter& Append(const Bytes& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); return *this; }
  ByteWriter& Fill(size_t count, uint8_t value) { bytes_.insert(bytes_.end(), count, value); return *this; }
  size_t Size() const { return bytes_.size(); }
  Bytes& Get() { return bytes_; }

 private:
  Bytes bytes_;
};

// Through CxImage::Encode (BMP, PNG, JPEG, TIFF).
Bytes Encoded(const CxImage& image, uint32_t formatId);

// 8-bit palette or 24-bit image; RLE packets when `rle`; top-left origin when `topOrigin`.
Bytes WriteTga(const CxImage& image, bool rle, bool topOrigin);
// 1-bit (1 plane), 8-bit (palette at the end) or 24-bit (3 planes), RLE-encoded.
Bytes WritePcx(const CxImage& image);
// 1-bit image, 1 = white as the image's palette says.
Bytes WriteWbmp(const CxImage& image);
// P1/P4 from a 1-bit image (palette 0 = white), P2/P5 from 8-bit gray, P3/P6 from 24-bit;
// `maxValue` above 255 writes 2-byte raw samples.
Bytes WritePnm(const CxImage& image, char kind, uint32_t maxValue = 255);
// 8-bit gray image as PGX with the given depth (samples scaled down from 8 bits when < 8).
Bytes WritePgx(const CxImage& image, bool bigEndian, uint32_t depth = 8);
// 1-, 8- or 24-bit Sun raster; byte-encoded when `rle`.
Bytes WriteRas(const CxImage& image, bool rle);
// 8-bit palette image.
Bytes WriteSka(const CxImage& image);
// 8-bit palette images as the frames of one GIF, through giflib.
Bytes WriteGif(const std::vector<const CxImage*>& frames, bool interlace);
// An icon: each image as a bitmap (`asPng` false) or an embedded PNG.
Bytes WriteIco(const std::vector<const CxImage*>& images, const std::vector<bool>& asPng);
// An MNG holding one embedded PNG image of `image`.
Bytes WriteMng(const CxImage& image);
// JPEG 2000 through OpenJPEG, lossless: a JP2 file or a bare code stream.
Bytes WriteJpeg2000(const CxImage& image, bool jp2File);
// JPEG of CMYK inks (cyan, magenta, yellow, black per pixel of `inks`, 4 bytes each), with
// the Adobe marker and inverted values as Adobe applications write them.
Bytes WriteCmykJpeg(uint32_t width, uint32_t height, const std::vector<uint8_t>& inks);

// ImageMagick's `convert` (scripts/setup installs it): files and pixels from a tool that shares
// no code with our decoders. Runs `convert arguments` and returns its standard output; throws
// when the command fails.
Bytes RunConvert(const std::string& arguments);
// The picture in `path` as ImageMagick reads it: 8-bit red, green, blue, top row first.
// `options` go between the input and the output (e.g. "-auto-orient").
Bytes MagickRgb(const std::string& path, const std::string& options = "");
// True when `image` has the size given and the pixels of `rgb` (as MagickRgb gives them), each
// channel within `tolerance`.
::testing::AssertionResult SameAsRgb(const Bytes& rgb, uint32_t width, uint32_t height, const CxImage& image,
                                     int tolerance = 0);

// A temporary file that is removed when the object goes.
class TempFile {
 public:
  explicit TempFile(const Bytes& content, std::string_view suffix = ".bin");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace fixtures
