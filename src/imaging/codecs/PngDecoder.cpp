#include "imaging/codecs/PngDecoder.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// libpng reports errors by calling back and never returning: the callback longjmps to the
// setjmp of the reading function. Those functions hold no C++ objects with destructors, so
// nothing is skipped when the jump crosses them.
struct PngSource {
  std::span<const uint8_t> bytes;
  size_t position = 0;
  char error[200] = {};
};

void ReadFromSource(png_structp png, png_bytep out, size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > source->bytes.size() - source->position) png_error(png, "file truncated");
  std::memcpy(out, source->bytes.data() + source->position, length);
  source->position += length;
}

void RecordError(png_structp png, png_const_charp message) {
  auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
  std::snprintf(source->error, sizeof source->error, "PNG: %s", message ? message : "decoding failed");
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Owns the libpng read structures.
class PngReader {
 public:
  explicit PngReader(std::span<const uint8_t> bytes) {
    source_.bytes = bytes;
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source_, RecordError, IgnoreWarning);
    if (png_) info_ = png_create_info_struct(png_);
    if (png_ && info_) png_set_read_fn(png_, &source_, ReadFromSource);
  }
  ~PngReader() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  bool Ready() const { return png_ && info_; }
  png_structp Png() const { return png_; }
  png_infop Info() const { return info_; }
  const char* ErrorText() const { return source_.error[0] ? source_.error : "PNG: decoding failed"; }

 private:
  PngSource source_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// What a decode needs to know after the header and the transforms are set.
struct PngPlan {
  uint32_t outBpp = 0;
  int channels = 0;      // samples per pixel as libpng delivers them
  bool alpha = false;    // gray+alpha or RGBA, composited onto white
  bool gray = false;     // gray, with or without alpha: gray palette
};

bool ReadHeader(PngReader& reader, PngHeader& header) {
  png_structp png = reader.Png();
  png_infop info = reader.Info();
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  header.width = png_get_image_width(png, info);
  header.height = png_get_image_height(png, info);
  header.bitDepth = png_get_bit_depth(png, info);
  header.colorType = png_get_color_type(png, info);
  header.interlace = png_get_interlace_type(png, info);
  return true;
}

// Sets libpng's transforms for the colour type and returns the plan.
bool SetTransforms(PngReader& reader, const PngHeader& header, PngPlan& plan) {
  png_structp png = reader.Png();
  if (setjmp(png_jmpbuf(png))) return false;
  if (header.bitDepth == 16) png_set_scale_16(png);
  switch (header.colorType) {
    case PNG_COLOR_TYPE_PALETTE:
      if (header.bitDepth == 2) png_set_packing(png);
      plan.outBpp = header.bitDepth == 2 ? 8 : static_cast<uint32_t>(header.bitDepth);
      plan.channels = 1;
      break;
    case PNG_COLOR_TYPE_GRAY:
      if (header.bitDepth == 2) png_set_expand_gray_1_2_4_to_8(png);
      plan.outBpp = header.bitDepth == 1 || header.bitDepth == 4 ? static_cast<uint32_t>(header.bitDepth) : 8;
      plan.channels = 1;
      plan.gray = true;
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      plan.outBpp = 8;
      plan.channels = 2;
      plan.alpha = true;
      plan.gray = true;
      break;
    case PNG_COLOR_TYPE_RGB:
      png_set_bgr(png);
      plan.outBpp = 24;
      plan.channels = 3;
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      png_set_bgr(png);
      plan.outBpp = 24;
      plan.channels = 4;
      plan.alpha = true;
      break;
    default:
      return false;
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, reader.Info());
  return true;
}

bool ReadRows(PngReader& reader, png_bytepp rows) {
  if (setjmp(png_jmpbuf(reader.Png()))) return false;
  png_read_image(reader.Png(), rows);
  return true;
}

uint8_t OverWhite(uint8_t value, uint8_t alpha) {
  return static_cast<uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

void SetPalette(PngReader& reader, const PngHeader& header, const PngPlan& plan, CxImage& image) {
  png_structp png = reader.Png();
  png_infop info = reader.Info();
  if (plan.gray) {
    image.SetGrayPalette();
    return;
  }
  if (header.colorType != PNG_COLOR_TYPE_PALETTE) return;
  png_colorp palette = nullptr;
  int count = 0;
  if (!png_get_PLTE(png, info, &palette, &count)) return;
  png_bytep alphas = nullptr;
  int alphaCount = 0;
  png_get_tRNS(png, info, &alphas, &alphaCount, nullptr);
  for (int i = 0; i < count && i < static_cast<int>(image.GetNumColors()); ++i) {
    const uint8_t alpha = i < alphaCount && alphas ? alphas[i] : 255;
    image.SetPaletteColor(static_cast<uint32_t>(i),
                          MakeRgb(OverWhite(palette[i].red, alpha), OverWhite(palette[i].green, alpha),
                                  OverWhite(palette[i].blue, alpha)));
  }
}

void SetPngResolution(PngReader& reader, CxImage& image) {
  png_uint_32 x = 0;
  png_uint_32 y = 0;
  int unit = 0;
  if (png_get_pHYs(reader.Png(), reader.Info(), &x, &y, &unit) && unit == PNG_RESOLUTION_METER)
    SetResolutionFromPixelsPerMeter(image, static_cast<int32_t>(std::min<png_uint_32>(x, INT32_MAX)),
                                    static_cast<int32_t>(std::min<png_uint_32>(y, INT32_MAX)));
}

}  // namespace

bool PngDecoder::Sniff(std::span<const uint8_t> bytes) {
  return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

DecoderResult PngDecoder::Create(std::span<const uint8_t> bytes) {
  if (!Sniff(bytes)) return Error{"PNG: not a PNG file"};
  PngReader reader(bytes);
  if (!reader.Ready()) return Error{"PNG: can't initialise the decoder"};
  PngHeader header;
  if (!ReadHeader(reader, header)) return Error{reader.ErrorText()};
  return std::unique_ptr<ImageDecoder>(new PngDecoder(bytes, header));
}

Result<CxImage> PngDecoder::DecodeFrame(int32_t) {
  PngReader reader(bytes_);
  if (!reader.Ready()) return Error{"PNG: can't initialise the decoder"};
  PngHeader header;
  PngPlan plan;
  if (!ReadHeader(reader, header) || !SetTransforms(reader, header, plan)) return Error{reader.ErrorText()};
  auto created = NewImage(header.width, header.height, plan.outBpp, ImageFormat::Png, "PNG", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  SetPalette(reader, header, plan, image);
  SetPngResolution(reader, image);

  const uint32_t height = header.height;
  std::vector<png_bytep> rows(height);
  if (!plan.alpha) {
    for (uint32_t y = 0; y < height; ++y) rows[y] = PictureRow(image, y);
    if (!ReadRows(reader, rows.data())) return Error{reader.ErrorText()};
    return image;
  }
  // Alpha: the whole picture first (interlaced passes revisit rows), then onto white.
  const uint64_t rowBytes = uint64_t{header.width} * static_cast<uint64_t>(plan.channels);
  const auto scratchBytes = CheckedMul(rowBytes, height);
  if (!scratchBytes || !WithinScratchLimit(*scratchBytes)) return Error{TooLargeText("PNG", header.width, height)};
  std::vector<uint8_t> scratch(*scratchBytes);
  for (uint32_t y = 0; y < height; ++y) rows[y] = scratch.data() + rowBytes * y;
  if (!ReadRows(reader, rows.data())) return Error{reader.ErrorText()};
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = rows[y];
    uint8_t* dst = PictureRow(image, y);
    if (plan.channels == 2) {
      for (uint32_t x = 0; x < header.width; ++x, src += 2) dst[x] = OverWhite(src[0], src[1]);
      continue;
    }
    for (uint32_t x = 0; x < header.width; ++x, src += 4, dst += 3) {
      dst[0] = OverWhite(src[0], src[3]);
      dst[1] = OverWhite(src[1], src[3]);
      dst[2] = OverWhite(src[2], src[3]);
    }
  }
  return image;
}

}  // namespace imaging
