#include "imaging/codecs/JpegEncoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/codecs/JpegErrors.h"

namespace imaging {

namespace {

// The compression object and libjpeg's output buffer, released together.
struct JpegCompression {
  jpeg_compress_struct info{};
  JpegErrorManager errors;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;

  JpegCompression() { info.err = InstallJpegErrors(errors); }
  ~JpegCompression() {
    jpeg_destroy_compress(&info);
    std::free(buffer);
  }
  JpegCompression(const JpegCompression&) = delete;
  JpegCompression& operator=(const JpegCompression&) = delete;
};

bool IsGrayPalette(const CxImage& image) {
  for (uint32_t i = 0; i < image.GetNumColors(); ++i) {
    const RgbQuad c = image.GetPaletteColor(i);
    if (c.red != c.green || c.green != c.blue) return false;
  }
  return true;
}

// Holds no C++ objects: libjpeg errors longjmp back here. Gray rows go through `grayRow`,
// each pixel's palette entry looked up.
bool Compress(JpegCompression& jpeg, const CxImage& image, int quality, uint8_t* grayRow) {
  jpeg_compress_struct& info = jpeg.info;
  if (setjmp(jpeg.errors.jump)) return false;
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &jpeg.buffer, &jpeg.size);
  const bool color = image.GetBpp() == 24;
  info.image_width = image.GetWidth();
  info.image_height = image.GetHeight();
  info.input_components = color ? 3 : 1;
  info.in_color_space = color ? JCS_EXT_BGR : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.density_unit = 1;
  info.X_density = static_cast<UINT16>(std::min(image.GetXDPI(), 65535));
  info.Y_density = static_cast<UINT16>(std::min(image.GetYDPI(), 65535));
  jpeg_start_compress(&info, TRUE);
  const uint32_t bpp = image.GetBpp();
  while (info.next_scanline < info.image_height) {
    const uint8_t* src = image.GetBits(info.image_height - 1 - info.next_scanline);
    JSAMPROW row = const_cast<JSAMPROW>(src);
    if (!color) {
      for (uint32_t x = 0; x < info.image_width; ++x) {
        const uint32_t index = bpp == 8   ? src[x]
                               : bpp == 4 ? (src[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F
                                          : (src[x / 8] >> (7 - x % 8)) & 1;
        grayRow[x] = image.GetPaletteColor(index).red;
      }
      row = grayRow;
    }
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return true;
}

}  // namespace

Result<std::vector<uint8_t>> EncodeJpeg(const CxImage& image, int quality) {
  if (!image.IsValid()) return Error{"JPEG: no image to save"};
  if (image.GetBpp() != 24 && !IsGrayPalette(image)) return Error{"JPEG can save only RGB or GreyScale images"};
  if (image.GetWidth() > JPEG_MAX_DIMENSION || image.GetHeight() > JPEG_MAX_DIMENSION)
    return Error{"JPEG: image too large for JPEG"};
  JpegCompression jpeg;
  std::vector<uint8_t> grayRow(image.GetBpp() == 24 ? 0 : image.GetWidth());
  if (!Compress(jpeg, image, quality, grayRow.data())) return Error{jpeg.errors.message};
  return std::vector<uint8_t>(jpeg.buffer, jpeg.buffer + jpeg.size);
}

}  // namespace imaging
