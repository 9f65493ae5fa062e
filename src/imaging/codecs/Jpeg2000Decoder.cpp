#include "imaging/codecs/Jpeg2000Decoder.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

constexpr uint8_t kJp2Signature[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
constexpr uint8_t kCodeStreamSignature[4] = {0xFF, 0x4F, 0xFF, 0x51};

struct MemorySource {
  std::span<const uint8_t> bytes;
  uint64_t position = 0;
};

OPJ_SIZE_T ReadSource(void* buffer, OPJ_SIZE_T size, void* user) {
  auto* source = static_cast<MemorySource*>(user);
  if (source->position >= source->bytes.size()) return static_cast<OPJ_SIZE_T>(-1);
  const size_t count = std::min<uint64_t>(size, source->bytes.size() - source->position);
  std::memcpy(buffer, source->bytes.data() + source->position, count);
  source->position += count;
  return count;
}

OPJ_OFF_T SkipSource(OPJ_OFF_T count, void* user) {
  auto* source = static_cast<MemorySource*>(user);
  if (count < 0) {
    if (static_cast<uint64_t>(-count) > source->position) return -1;
  } else if (static_cast<uint64_t>(count) > source->bytes.size() - std::min<uint64_t>(source->position, source->bytes.size())) {
    count = static_cast<OPJ_OFF_T>(source->bytes.size() - std::min<uint64_t>(source->position, source->bytes.size()));
  }
  source->position += count;
  return count;
}

OPJ_BOOL SeekSource(OPJ_OFF_T offset, void* user) {
  auto* source = static_cast<MemorySource*>(user);
  if (offset < 0 || static_cast<uint64_t>(offset) > source->bytes.size()) return OPJ_FALSE;
  source->position = static_cast<uint64_t>(offset);
  return OPJ_TRUE;
}

void IgnoreMessage(const char*, void*) {}

void RecordError(const char* message, void* user) {
  auto* error = static_cast<std::string*>(user);
  if (!error->empty() || !message) return;
  *error = std::string("JPEG 2000: ") + message;
  while (!error->empty() && (error->back() == '\n' || error->back() == '\r')) error->pop_back();
}

// One OpenJPEG decompression over borrowed bytes, released in one place.
class OpjSession {
 public:
  OpjSession(std::span<const uint8_t> bytes, uint32_t formatId) {
    source_.bytes = bytes;
    codec_ = opj_create_decompress(formatId == ImageFormat::Jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    stream_ = opj_stream_create(64 * 1024, OPJ_TRUE);
    if (!codec_ || !stream_) return;
    opj_stream_set_user_data(stream_, &source_, nullptr);
    opj_stream_set_user_data_length(stream_, bytes.size());
    opj_stream_set_read_function(stream_, ReadSource);
    opj_stream_set_skip_function(stream_, SkipSource);
    opj_stream_set_seek_function(stream_, SeekSource);
    opj_set_info_handler(codec_, IgnoreMessage, nullptr);
    opj_set_warning_handler(codec_, IgnoreMessage, nullptr);
    opj_set_error_handler(codec_, RecordError, &error_);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    ready_ = opj_setup_decoder(codec_, &parameters) == OPJ_TRUE;
  }
  ~OpjSession() {
    if (image_) opj_image_destroy(image_);
    if (stream_) opj_stream_destroy(stream_);
    if (codec_) opj_destroy_codec(codec_);
  }
  OpjSession(const OpjSession&) = delete;
  OpjSession& operator=(const OpjSession&) = delete;

  bool ReadHeader() { return ready_ && opj_read_header(stream_, codec_, &image_) == OPJ_TRUE && image_; }
  bool Decode() {
    return opj_decode(codec_, stream_, image_) == OPJ_TRUE && opj_end_decompress(codec_, stream_) == OPJ_TRUE;
  }
  opj_image_t* Image() const { return image_; }
  std::string ErrorText(const char* fallback) const { return error_.empty() ? std::string("JPEG 2000: ") + fallback : error_; }

 private:
  MemorySource source_;
  opj_codec_t* codec_ = nullptr;
  opj_stream_t* stream_ = nullptr;
  opj_image_t* image_ = nullptr;
  std::string error_;
  bool ready_ = false;
};

// Image size, checked against our limits and the decoder's own buffers (32 bits per sample
// per component) before OpenJPEG decodes anything.
Status CheckHeader(const opj_image_t& image) {
  if (image.x1 <= image.x0 || image.y1 <= image.y0 || image.numcomps == 0) return Error{"JPEG 2000: image has no pixels"};
  const uint64_t width = image.x1 - image.x0;
  const uint64_t height = image.y1 - image.y0;
  const auto samples = CheckedMul(width, height, uint64_t{image.numcomps} * 4);
  if (!WithinImageLimit(width, height, 24) || !samples || !WithinScratchLimit(*samples))
    return Error{TooLargeText("JPEG 2000", width, height)};
  for (uint32_t c = 0; c < image.numcomps; ++c) {
    const opj_image_comp_t& comp = image.comps[c];
    if (comp.prec == 0 || comp.prec > 31) return Error{"JPEG 2000: unsupported sample precision of " + std::to_string(comp.prec) + " bits"};
    if (comp.dx == 0 || comp.dy == 0) return Error{"JPEG 2000: invalid subsampling " + std::to_string(comp.dx) + " x " + std::to_string(comp.dy)};
  }
  return Status::Ok();
}

uint8_t SampleAt(const opj_image_comp_t& comp, uint64_t x, uint64_t y, uint64_t width, uint64_t height) {
  const uint64_t cx = std::min<uint64_t>(x * comp.w / width, comp.w - 1);
  const uint64_t cy = std::min<uint64_t>(y * comp.h / height, comp.h - 1);
  int64_t value = comp.data[cy * comp.w + cx];
  if (comp.sgnd) value += int64_t{1} << (comp.prec - 1);
  const int64_t maxValue = (int64_t{1} << comp.prec) - 1;
  value = std::clamp<int64_t>(value, 0, maxValue);
  if (comp.prec > 8) return static_cast<uint8_t>(value >> (comp.prec - 8));
  return static_cast<uint8_t>((value * 255 + maxValue / 2) / maxValue);
}

bool EndsWithEndOfCodeStream(std::span<const uint8_t> stream) {
  return stream.size() >= 2 && stream[stream.size() - 2] == 0xFF && stream[stream.size() - 1] == 0xD9;
}

// The code stream inside the file: all of a bare stream, the contents of the 'jp2c' box of a
// JP2 file. With `complete` the box must lie wholly inside the file; otherwise as much of it
// as the file holds is enough (for reading the header).
std::optional<std::span<const uint8_t>> FindCodeStream(std::span<const uint8_t> bytes, uint32_t formatId, bool complete) {
  if (formatId == ImageFormat::J2k) return bytes;
  uint64_t at = 0;
  while (at + 8 <= bytes.size()) {
    uint64_t length = LoadBE32(bytes.data() + at);
    const uint32_t type = LoadBE32(bytes.data() + at + 4);
    uint64_t header = 8;
    if (length == 1) {
      if (at + 16 > bytes.size()) return std::nullopt;
      length = (uint64_t{LoadBE32(bytes.data() + at + 8)} << 32) | LoadBE32(bytes.data() + at + 12);
      header = 16;
    } else if (length == 0) {
      length = bytes.size() - at;  // the last box runs to the end of the file
    }
    if (length < header) return std::nullopt;
    const bool inside = length <= bytes.size() - at;
    if (type == 0x6A703263) {  // 'jp2c'
      if (!inside && complete) return std::nullopt;
      return bytes.subspan(at + header, (inside ? length : bytes.size() - at) - header);
    }
    if (!inside) return std::nullopt;
    at += length;
  }
  return std::nullopt;
}

// The code stream must be complete up to its end marker. OpenJPEG decodes what there is of a
// cut stream and calls it a success, which would pass a half-uploaded file as a blurred page.
Status CheckComplete(std::span<const uint8_t> bytes, uint32_t formatId) {
  const auto stream = FindCodeStream(bytes, formatId, /*complete=*/true);
  if (!stream || !EndsWithEndOfCodeStream(*stream)) return Error{"JPEG 2000: code stream truncated"};
  return Status::Ok();
}

// Our own reading of the image and tile sizes (SIZ, right after the start of the code
// stream), so that OpenJPEG never sets up tiles for a size we would refuse anyway: a tiny
// file can claim a billion tiles, which the library lays out before it reads any data.
Status CheckSizes(std::span<const uint8_t> bytes, uint32_t formatId) {
  const auto stream = FindCodeStream(bytes, formatId, /*complete=*/false);
  if (!stream) return Error{"JPEG 2000: no code stream"};
  const std::span<const uint8_t> s = *stream;
  constexpr size_t kSizEnd = 4 + 2 + 2 + 8 * 4 + 2;  // markers, Lsiz, Rsiz, eight sizes, Csiz
  if (s.size() < kSizEnd || LoadBE16(s.data()) != 0xFF4F || LoadBE16(s.data() + 2) != 0xFF51)
    return Error{"JPEG 2000: code stream without size marker"};
  const uint64_t x1 = LoadBE32(s.data() + 8);
  const uint64_t y1 = LoadBE32(s.data() + 12);
  const uint64_t x0 = LoadBE32(s.data() + 16);
  const uint64_t y0 = LoadBE32(s.data() + 20);
  const uint64_t tileWidth = LoadBE32(s.data() + 24);
  const uint64_t tileHeight = LoadBE32(s.data() + 28);
  const uint64_t tileX0 = LoadBE32(s.data() + 32);
  const uint64_t tileY0 = LoadBE32(s.data() + 36);
  const uint64_t components = LoadBE16(s.data() + 40);
  if (x1 <= x0 || y1 <= y0 || tileWidth == 0 || tileHeight == 0 || tileX0 > x0 || tileY0 > y0 || components == 0)
    return Error{"JPEG 2000: invalid image or tile size (image " + std::to_string(x0) + ", " + std::to_string(y0) + " to " +
                 std::to_string(x1) + ", " + std::to_string(y1) + ", tiles " + std::to_string(tileWidth) + " x " +
                 std::to_string(tileHeight) + ", " + std::to_string(components) + " components)"};
  if (auto problem = SizeProblem(x1 - x0, y1 - y0, components >= 3 ? 24 : 8, bytes.size(), "JPEG 2000"); !problem.empty())
    return Error{problem};
  // Tile indices are 16-bit in the code stream.
  const uint64_t tiles = ((x1 - tileX0 + tileWidth - 1) / tileWidth) * ((y1 - tileY0 + tileHeight - 1) / tileHeight);
  if (tiles > 65535) return Error{"JPEG 2000: more than 65535 tiles"};
  const auto samples = CheckedMul(x1 - x0, y1 - y0, components * 4);
  if (!samples || !WithinScratchLimit(*samples)) return Error{TooLargeText("JPEG 2000", x1 - x0, y1 - y0)};
  return Status::Ok();
}

}  // namespace

bool Jpeg2000Decoder::Jp2::Sniff(std::span<const uint8_t> bytes) {
  return bytes.size() >= sizeof kJp2Signature && std::memcmp(bytes.data(), kJp2Signature, sizeof kJp2Signature) == 0;
}

DecoderResult Jpeg2000Decoder::Jp2::Create(std::span<const uint8_t> bytes) {
  if (!Sniff(bytes)) return Error{"JPEG 2000: not a JP2 file"};
  return CreateFor(bytes, ImageFormat::Jp2);
}

bool Jpeg2000Decoder::CodeStream::Sniff(std::span<const uint8_t> bytes) {
  return bytes.size() >= sizeof kCodeStreamSignature &&
         std::memcmp(bytes.data(), kCodeStreamSignature, sizeof kCodeStreamSignature) == 0;
}

DecoderResult Jpeg2000Decoder::CodeStream::Create(std::span<const uint8_t> bytes) {
  if (!Sniff(bytes)) return Error{"JPEG 2000: not a JPEG 2000 code stream"};
  return CreateFor(bytes, ImageFormat::J2k);
}

DecoderResult Jpeg2000Decoder::CreateFor(std::span<const uint8_t> bytes, uint32_t formatId) {
  auto sizes = CheckSizes(bytes, formatId);
  if (sizes.IsError()) return sizes.TakeError();
  OpjSession session(bytes, formatId);
  if (!session.ReadHeader()) return Error{session.ErrorText("invalid header")};
  auto status = CheckHeader(*session.Image());
  if (status.IsError()) return status.TakeError();
  return std::unique_ptr<ImageDecoder>(new Jpeg2000Decoder(bytes, formatId));
}

Result<CxImage> Jpeg2000Decoder::DecodeFrame(int32_t) {
  auto complete = CheckComplete(bytes_, FormatId());
  if (complete.IsError()) return complete.TakeError();
  auto sizes = CheckSizes(bytes_, FormatId());
  if (sizes.IsError()) return sizes.TakeError();
  OpjSession session(bytes_, FormatId());
  if (!session.ReadHeader()) return Error{session.ErrorText("invalid header")};
  auto status = CheckHeader(*session.Image());
  if (status.IsError()) return status.TakeError();
  if (!session.Decode()) return Error{session.ErrorText("decoding failed")};
  const opj_image_t& decoded = *session.Image();
  for (uint32_t c = 0; c < decoded.numcomps; ++c)
    if (!decoded.comps[c].data || decoded.comps[c].w == 0 || decoded.comps[c].h == 0)
      return Error{"JPEG 2000: component without samples"};

  const uint64_t width = decoded.x1 - decoded.x0;
  const uint64_t height = decoded.y1 - decoded.y0;
  const bool color = decoded.numcomps >= 3;
  auto created = NewImage(width, height, color ? 24 : 8, FormatId(), "JPEG 2000", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  if (!color) image.SetGrayPalette();
  for (uint64_t y = 0; y < height; ++y) {
    uint8_t* row = PictureRow(image, static_cast<uint32_t>(y));
    for (uint64_t x = 0; x < width; ++x) {
      if (!color) {
        row[x] = SampleAt(decoded.comps[0], x, y, width, height);
        continue;
      }
      row[3 * x] = SampleAt(decoded.comps[2], x, y, width, height);
      row[3 * x + 1] = SampleAt(decoded.comps[1], x, y, width, height);
      row[3 * x + 2] = SampleAt(decoded.comps[0], x, y, width, height);
    }
  }
  return image;
}

}  // namespace imaging
