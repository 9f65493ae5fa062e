#include "imaging/codecs/JpegDecoder.h"

#include <string>
#include <vector>

#include "imaging/codecs/DecoderSupport.h"
#include "imaging/codecs/JpegErrors.h"

namespace imaging {

namespace {

// A progressive file may hold any number of scans, each a full pass over the coefficients;
// real files have about ten. More than this is an attack on our time, not a picture.
constexpr int kMaxScans = 256;

struct JpegHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
  int components = 0;
};

// One decompression, owned: creation and destruction in one place.
class JpegSession {
 public:
  explicit JpegSession(std::span<const uint8_t> bytes) {
    info_.err = InstallJpegErrors(errors_);
    progress_.progress_monitor = LimitScans;
    created_ = Create(bytes);
  }
  ~JpegSession() { jpeg_destroy_decompress(&info_); }
  JpegSession(const JpegSession&) = delete;
  JpegSession& operator=(const JpegSession&) = delete;

  bool Created() const { return created_; }
  jpeg_decompress_struct& Info() { return info_; }
  JpegErrorManager& Errors() { return errors_; }
  const char* ErrorText() const { return errors_.message[0] ? errors_.message : "JPEG: decoding failed"; }

 private:
  bool Create(std::span<const uint8_t> bytes) {
    if (setjmp(errors_.jump)) return false;
    jpeg_create_decompress(&info_);
    info_.progress = &progress_;
    jpeg_mem_src(&info_, bytes.data(), static_cast<unsigned long>(bytes.size()));
    return true;
  }

  static void LimitScans(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number <= kMaxScans) return;
    auto* errors = reinterpret_cast<JpegErrorManager*>(common->err);
    std::snprintf(errors->message, sizeof errors->message, "JPEG: more than %d scans", kMaxScans);
    std::longjmp(errors->jump, 1);
  }

  jpeg_decompress_struct info_{};
  JpegErrorManager errors_;
  jpeg_progress_mgr progress_{};
  bool created_ = false;
};

bool ReadHeader(JpegSession& session, JpegHeader& header) {
  jpeg_decompress_struct& info = session.Info();
  if (setjmp(session.Errors().jump)) return false;
  jpeg_read_header(&info, TRUE);
  header.width = info.image_width;
  header.height = info.image_height;
  header.colorSpace = info.jpeg_color_space;
  header.components = info.num_components;
  return true;
}

bool Start(JpegSession& session, J_COLOR_SPACE outSpace) {
  if (setjmp(session.Errors().jump)) return false;
  session.Info().out_color_space = outSpace;
  jpeg_start_decompress(&session.Info());
  return true;
}

// Picture rows go to top - y * stride (the image is stored bottom-up, so the stride is
// negative in picture order). Without `cmyk` libjpeg writes the final pixels itself.
bool ReadRows(JpegSession& session, uint8_t* top, ptrdiff_t stride, uint8_t* cmyk, bool invertedInks) {
  jpeg_decompress_struct& info = session.Info();
  if (setjmp(session.Errors().jump)) return false;
  const JDIMENSION width = info.output_width;
  while (info.output_scanline < info.output_height) {
    if (cmyk == nullptr) {
      JSAMPROW rows[16];
      JDIMENSION count = 0;
      for (; count < 16 && info.output_scanline + count < info.output_height; ++count)
        rows[count] = top - static_cast<ptrdiff_t>(info.output_scanline + count) * stride;
      if (jpeg_read_scanlines(&info, rows, count) == 0) return false;
      continue;
    }
    uint8_t* dst = top - static_cast<ptrdiff_t>(info.output_scanline) * stride;
    JSAMPROW row = cmyk;
    if (jpeg_read_scanlines(&info, &row, 1) == 0) return false;
    for (JDIMENSION x = 0; x < width; ++x, dst += 3) {
      const uint8_t* ink = cmyk + 4 * x;
      // Inverted inks hold 255 - ink, which is how much light each lets through.
      unsigned c = ink[0], m = ink[1], y = ink[2], k = ink[3];
      if (!invertedInks) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
      dst[0] = static_cast<uint8_t>((y * k + 127) / 255);
      dst[1] = static_cast<uint8_t>((m * k + 127) / 255);
      dst[2] = static_cast<uint8_t>((c * k + 127) / 255);
    }
  }
  return true;
}

}  // namespace

bool JpegDecoder::Sniff(std::span<const uint8_t> bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

DecoderResult JpegDecoder::Create(std::span<const uint8_t> bytes) {
  if (!Sniff(bytes)) return Error{"JPEG: not a JPEG file"};
  JpegSession session(bytes);
  JpegHeader header;
  if (!session.Created() || !ReadHeader(session, header)) return Error{session.ErrorText()};
  return std::unique_ptr<ImageDecoder>(new JpegDecoder(bytes));
}

Result<CxImage> JpegDecoder::DecodeFrame(int32_t) {
  JpegSession session(bytes_);
  JpegHeader header;
  if (!session.Created() || !ReadHeader(session, header)) return Error{session.ErrorText()};

  J_COLOR_SPACE outSpace = JCS_EXT_BGR;
  uint32_t bpp = 24;
  bool cmyk = false;
  switch (header.colorSpace) {
    case JCS_GRAYSCALE:
      outSpace = JCS_GRAYSCALE;
      bpp = 8;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      outSpace = JCS_CMYK;
      cmyk = true;
      break;
    default:
      break;
  }
  // Every row is written below, or the decode fails and the image is dropped.
  auto created = NewImage(header.width, header.height, bpp, ImageFormat::Jpeg, "JPEG", bytes_.size(), true);
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  if (bpp == 8) image.SetGrayPalette();
  const jpeg_decompress_struct& info = session.Info();
  if (info.saw_JFIF_marker) SetResolution(image, info.X_density, info.Y_density, info.density_unit);

  if (!Start(session, outSpace)) return Error{session.ErrorText()};
  std::vector<uint8_t> inkRow(cmyk ? size_t{header.width} * 4 : 0);
  uint8_t* top = image.GetBits(header.height - 1);
  const auto stride = static_cast<ptrdiff_t>(image.GetEffWidth());
  if (!ReadRows(session, top, stride, cmyk ? inkRow.data() : nullptr, info.saw_Adobe_marker))
    return Error{session.ErrorText()};
  if (session.Errors().truncated) return Error{"JPEG: file truncated"};
  return image;
}

}  // namespace imaging
