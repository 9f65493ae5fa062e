#include "imaging/codecs/Encoders.h"

#include <string>

#include "imaging/codecs/BmpEncoder.h"
#include "imaging/codecs/JpegEncoder.h"
#include "imaging/codecs/PngEncoder.h"
#include "imaging/codecs/TiffEncoder.h"

namespace imaging {

namespace {

Status Adopt(Result<std::vector<uint8_t>> encoded, std::vector<uint8_t>& out) {
  if (encoded.IsError()) return encoded.TakeError();
  out = std::move(encoded).Value();
  return Status::Ok();
}

}  // namespace

Status EncodeImage(const CxImage& image, uint32_t formatId, std::vector<uint8_t>& out) {
  switch (formatId) {
    case ImageFormat::Bmp: return EncodeBmpInto(image, out);
    case ImageFormat::Png: return Adopt(EncodePng(image), out);
    case ImageFormat::Jpeg: return Adopt(EncodeJpeg(image), out);
    case ImageFormat::Tiff: return Adopt(EncodeTiff(image), out);
    default: return Error{std::string("Encode: saving as ") + ImageFormat::Name(formatId) + " is not supported"};
  }
}

}  // namespace imaging
