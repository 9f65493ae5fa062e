#include "imaging/codecs/TiffStream.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "imaging/ImageLimits.h"

namespace imaging {

namespace {

TiffStream& StreamOf(thandle_t handle) { return *static_cast<TiffStream*>(handle); }

// libtiff's own allocations for one strip, tile or tag: the same budget as our scratch.
constexpr tmsize_t kMaxSingleAllocation = static_cast<tmsize_t>(kMaxPixelBits / 8 * 2);

}  // namespace

TIFF* TiffStream::Open() {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) {
    error_ = "TIFF: can't initialise the decoder";
    return nullptr;
  }
  TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, this);
  TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, this);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxSingleAllocation);
  // "m": never memory-map (we are the memory); "h": read the header only where needed.
  TIFF* tiff = TIFFClientOpenExt("memory", writing_ ? "wm" : "rm", this, Read, Write, Seek, Close, Size,
                                 MapNothing, UnmapNothing, options);
  TIFFOpenOptionsFree(options);
  if (!tiff && error_.empty()) error_ = "TIFF: can't open";
  return tiff;
}

tmsize_t TiffStream::Read(thandle_t handle, void* buffer, tmsize_t size) {
  TiffStream& stream = StreamOf(handle);
  const size_t length = stream.Length();
  if (size < 0 || stream.position_ >= length) return 0;
  const size_t count = std::min<uint64_t>(static_cast<uint64_t>(size), length - stream.position_);
  const uint8_t* from = stream.writing_ ? stream.output_.data() : stream.input_.data();
  std::memcpy(buffer, from + stream.position_, count);
  stream.position_ += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t TiffStream::Write(thandle_t handle, void* buffer, tmsize_t size) {
  TiffStream& stream = StreamOf(handle);
  if (!stream.writing_ || size < 0) return -1;
  const auto end = CheckedAdd(stream.position_, static_cast<uint64_t>(size));
  if (!end || *end > UINT32_MAX * uint64_t{4}) return -1;
  try {
    if (*end > stream.output_.size()) stream.output_.resize(*end);
  } catch (const std::bad_alloc&) {
    return -1;  // libtiff reports the short write
  }
  std::memcpy(stream.output_.data() + stream.position_, buffer, static_cast<size_t>(size));
  stream.position_ = *end;
  return size;
}

toff_t TiffStream::Seek(thandle_t handle, toff_t offset, int whence) {
  TiffStream& stream = StreamOf(handle);
  uint64_t base = 0;
  switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = stream.position_; break;
    case SEEK_END: base = stream.Length(); break;
    default: return static_cast<toff_t>(-1);
  }
  const auto target = CheckedAdd(base, offset);
  if (!target) return static_cast<toff_t>(-1);
  // Past the end is allowed: a writer fills the gap, a reader then reads nothing.
  stream.position_ = *target;
  return *target;
}

int TiffStream::Close(thandle_t) { return 0; }

toff_t TiffStream::Size(thandle_t handle) { return StreamOf(handle).Length(); }

int TiffStream::MapNothing(thandle_t, void**, toff_t*) { return 0; }

void TiffStream::UnmapNothing(thandle_t, void*, toff_t) {}

int TiffStream::OnError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  auto* stream = static_cast<TiffStream*>(user);
  if (stream->error_.empty()) {
    char text[240];
    std::vsnprintf(text, sizeof text, format, args);
    stream->error_ = std::string("TIFF: ") + (module && *module ? std::string(module) + ": " : "") + text;
  }
  return 1;  // handled: the process-wide handler (stderr) is not called
}

int TiffStream::OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace imaging
