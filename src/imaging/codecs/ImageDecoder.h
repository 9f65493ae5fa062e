#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "imaging/CxImage.h"
#include "imaging/codecs/Result.h"

namespace imaging {

// Common interface of every decoder. A decoder borrows the file's bytes: they must outlive it.
// Decoders are built by their static Create(bytes), which validates the header, so that
// FrameCount() is always valid afterwards. Not thread-safe: Frame() mutates cached state.
class ImageDecoder {
 public:
  virtual ~ImageDecoder();
  ImageDecoder(const ImageDecoder&) = delete;
  ImageDecoder& operator=(const ImageDecoder&) = delete;

  virtual int32_t FrameCount() const { return 1; }

  // Decodes frame `index` on first use and keeps it; a failure is kept as well, so a decoder
  // that has failed stays failed. The pointer is valid until the next call on the decoder.
  Result<const CxImage*> Frame(int32_t index);
  // Frame(index), moved out of the decoder instead of copied.
  Result<CxImage> TakeFrame(int32_t index);

 protected:
  explicit ImageDecoder(uint32_t formatId) : formatId_(formatId) {}

  // Decodes a frame whose index is known to be in range.
  virtual Result<CxImage> DecodeFrame(int32_t index) = 0;
  // The error for a frame index that the file does not have.
  virtual std::string MissingFrameText() const;

  uint32_t FormatId() const { return formatId_; }

 private:
  uint32_t formatId_;
  int32_t cachedIndex_ = -1;
  std::optional<CxImage> cached_;
  std::optional<std::string> failure_;
};

using DecoderResult = Result<std::unique_ptr<ImageDecoder>>;

}  // namespace imaging
