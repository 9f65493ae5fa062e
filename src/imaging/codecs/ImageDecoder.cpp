#include "imaging/codecs/ImageDecoder.h"

#include <utility>

namespace imaging {

ImageDecoder::~ImageDecoder() = default;

std::string ImageDecoder::MissingFrameText() const {
  return std::string("Error: frame not present in ") + ImageFormat::Name(formatId_) + " file";
}

Result<const CxImage*> ImageDecoder::Frame(int32_t index) {
  if (index < 0 || index >= FrameCount()) return Error{MissingFrameText()};
  if (failure_) return Error{*failure_};
  if (cached_ && cachedIndex_ == index) return &*cached_;
  cached_.reset();
  auto decoded = DecodeFrame(index);
  if (decoded.IsError()) {
    failure_ = decoded.ErrorText();
    return decoded.TakeError();
  }
  cached_.emplace(std::move(decoded).Value());
  cachedIndex_ = index;
  return &*cached_;
}

Result<CxImage> ImageDecoder::TakeFrame(int32_t index) {
  auto frame = Frame(index);
  if (frame.IsError()) return frame.TakeError();
  CxImage out(std::move(*cached_));
  cached_.reset();
  cachedIndex_ = -1;
  return out;
}

}  // namespace imaging
