#include "imaging/codecs/RawDecoder.h"

#include <libraw/libraw.h>

#include <memory>
#include <string>

#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

// Smaller than any camera's raw data; spares LibRaw the trouble with scraps.
constexpr size_t kMinimumRawSize = 4096;
constexpr unsigned kMaxLibRawMegabytes = 512;

void IgnoreDataError(void*, const char*, const int) {}
int IgnoreProgress(void*, enum LibRaw_progress, int, int) { return 0; }

std::unique_ptr<LibRaw> NewProcessor() {
  auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
  raw->set_dataerror_handler(IgnoreDataError, nullptr);  // the default prints to stderr
  raw->set_progress_handler(IgnoreProgress, nullptr);
  raw->imgdata.params.max_raw_memory_mb = kMaxLibRawMegabytes;
  raw->imgdata.params.use_camera_wb = 1;
  raw->imgdata.params.output_bps = 8;
  return raw;
}

std::string RawError(int code) { return std::string("RAW: ") + libraw_strerror(code); }

// Opens the buffer and checks what LibRaw identified before anything is unpacked.
Status Open(LibRaw& raw, std::span<const uint8_t> bytes) {
  // LibRaw reads through a non-const pointer but does not write.
  const int code = raw.open_buffer(const_cast<uint8_t*>(bytes.data()), bytes.size());
  if (code != LIBRAW_SUCCESS) return Error{RawError(code)};
  const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
  if (sizes.raw_width == 0 || sizes.raw_height == 0 || sizes.width == 0 || sizes.height == 0)
    return Error{"RAW: image has no pixels"};
  // The raw data (16 bits per photosite) and the developed image (4 x 16 bits per pixel).
  const auto rawBytes = CheckedMul(sizes.raw_width, sizes.raw_height, 2);
  const auto imageBytes = CheckedMul(sizes.width, sizes.height, 8);
  if (!rawBytes || !imageBytes || !WithinScratchLimit(*rawBytes) || !WithinScratchLimit(*imageBytes) ||
      !WithinImageLimit(sizes.width, sizes.height, 24))
    return Error{TooLargeText("RAW", sizes.width, sizes.height)};
  if (auto problem = SizeProblem(sizes.width, sizes.height, 24, bytes.size(), "RAW"); !problem.empty()) return Error{problem};
  return Status::Ok();
}

struct ProcessedImageDeleter {
  void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};

}  // namespace

bool RawDecoder::Sniff(std::span<const uint8_t> bytes) { return bytes.size() >= kMinimumRawSize; }

DecoderResult RawDecoder::Create(std::span<const uint8_t> bytes) {
  if (bytes.size() < kMinimumRawSize) return Error{"RAW: file too small for camera raw data"};
  auto raw = NewProcessor();
  auto status = Open(*raw, bytes);
  if (status.IsError()) return status.TakeError();
  return std::unique_ptr<ImageDecoder>(new RawDecoder(bytes));
}

Result<CxImage> RawDecoder::DecodeFrame(int32_t) {
  auto raw = NewProcessor();
  auto status = Open(*raw, bytes_);
  if (status.IsError()) return status.TakeError();
  if (const int code = raw->unpack(); code != LIBRAW_SUCCESS) return Error{RawError(code)};
  if (const int code = raw->dcraw_process(); code != LIBRAW_SUCCESS) return Error{RawError(code)};
  int code = LIBRAW_SUCCESS;
  std::unique_ptr<libraw_processed_image_t, ProcessedImageDeleter> developed(raw->dcraw_make_mem_image(&code));
  if (!developed || code != LIBRAW_SUCCESS) return Error{RawError(code)};
  if (developed->type != LIBRAW_IMAGE_BITMAP || developed->colors != 3 || developed->bits != 8)
    return Error{"RAW: unexpected developed image layout"};
  const uint64_t rowBytes = uint64_t{developed->width} * 3;
  if (rowBytes * developed->height > developed->data_size) return Error{"RAW: developed image truncated"};

  auto created = NewImage(developed->width, developed->height, 24, ImageFormat::Raw, "RAW", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  for (uint32_t y = 0; y < developed->height; ++y) {
    const uint8_t* src = developed->data + rowBytes * y;
    uint8_t* dst = PictureRow(image, y);
    for (uint32_t x = 0; x < developed->width; ++x, src += 3, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
  }
  return image;
}

}  // namespace imaging
