#include "imaging/codecs/Encoders.h"

#include <string>

#include "imaging/codecs/BmpEncoder.h"
#include "imaging/codecs/JpegEncoder.h"
#include "imaging/codecs/PngEncoder.h"
#include "imaging/codecs/TiffEncoder.h"

namespace imaging {

Result<std::vector<uint8_t>> EncodeImage(const CxImage& image, uint32_t formatId) {
  switch (formatId) {
    case ImageFormat::Bmp: return EncodeBmp(image);
    case ImageFormat::Png: return EncodePng(image);
    case ImageFormat::Jpeg: return EncodeJpeg(image);
    case ImageFormat::Tiff: return EncodeTiff(image);
    default: return Error{std::string("Encode: saving as ") + ImageFormat::Name(formatId) + " is not supported"};
  }
}

}  // namespace imaging
