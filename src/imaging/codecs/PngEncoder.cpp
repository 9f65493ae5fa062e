#include "imaging/codecs/PngEncoder.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

#include "imaging/BitmapTypes.h"

namespace imaging {

namespace {

struct PngSink {
  std::vector<uint8_t>* out;
  char error[200];
};

void WriteToSink(png_structp png, png_bytep data, size_t length) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    sink->out->insert(sink->out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    failed = true;
  }
  if (failed) png_error(png, "out of memory");
}

void FlushNothing(png_structp) {}

void RecordError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
  std::snprintf(sink->error, sizeof sink->error, "PNG: %s", message ? message : "encoding failed");
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

bool IsEvenGray(const CxImage& image) {
  const uint32_t n = image.GetNumColors();
  for (uint32_t i = 0; i < n; ++i) {
    const RgbQuad c = image.GetPaletteColor(i);
    if (c.red != c.green || c.green != c.blue || c.red != i * 255 / (n - 1)) return false;
  }
  return n > 0;
}

// Holds no C++ objects: libpng errors longjmp back here.
bool WritePng(png_structp png, png_infop info, const CxImage& image, png_colorp palette, bool gray) {
  if (setjmp(png_jmpbuf(png))) return false;
  const uint32_t bpp = image.GetBpp();
  const int colorType = bpp == 24 ? PNG_COLOR_TYPE_RGB : gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
  png_set_IHDR(png, info, image.GetWidth(), image.GetHeight(), bpp == 24 ? 8 : static_cast<int>(bpp), colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, static_cast<int>(image.GetNumColors()));
  png_set_pHYs(png, info, static_cast<png_uint_32>(DpiToPixelsPerMeter(image.GetXDPI())),
               static_cast<png_uint_32>(DpiToPixelsPerMeter(image.GetYDPI())), PNG_RESOLUTION_METER);
  png_write_info(png, info);
  if (bpp == 24) png_set_bgr(png);
  for (uint32_t y = 0; y < image.GetHeight(); ++y)
    png_write_row(png, const_cast<png_bytep>(image.GetBits(image.GetHeight() - 1 - y)));
  png_write_end(png, info);
  return true;
}

}  // namespace

Result<std::vector<uint8_t>> EncodePng(const CxImage& image) {
  if (!image.IsValid()) return Error{"PNG: no image to save"};
  std::vector<uint8_t> out;
  PngSink sink{&out, {}};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, RecordError, IgnoreWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    return Error{"PNG: can't initialise the encoder"};
  }
  png_set_write_fn(png, &sink, WriteToSink, FlushNothing);
  png_color palette[256] = {};
  for (uint32_t i = 0; i < image.GetNumColors(); ++i) {
    const RgbQuad c = image.GetPaletteColor(i);
    palette[i] = png_color{c.red, c.green, c.blue};
  }
  const bool ok = WritePng(png, info, image, palette, image.GetBpp() <= 8 && IsEvenGray(image));
  png_destroy_write_struct(&png, &info);
  if (!ok) return Error{sink.error[0] ? sink.error : "PNG: encoding failed"};
  return out;
}

}  // namespace imaging
