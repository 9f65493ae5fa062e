#pragma once

// libtiff over bytes in memory, with its messages captured per handle: nothing goes to
// stderr, and the first error becomes the decoder's or encoder's error text.

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace imaging {

// The bytes libtiff reads from or writes to, and the messages it reports. The address is
// the client handle of the open TIFF, so the object must not move while the TIFF is open.
class TiffStream {
 public:
  // Reading borrowed bytes.
  explicit TiffStream(std::span<const uint8_t> bytes) : input_(bytes) {}
  // Writing into a buffer of our own.
  TiffStream() : writing_(true) {}
  TiffStream(const TiffStream&) = delete;
  TiffStream& operator=(const TiffStream&) = delete;

  // Opens the TIFF ("r" or "w"); nullptr with ErrorText() set on failure.
  TIFF* Open();

  const std::string& ErrorText() const { return error_; }
  bool HasError() const { return !error_.empty(); }
  void ClearError() { error_.clear(); }
  std::vector<uint8_t>& Output() { return output_; }

 private:
  static tmsize_t Read(thandle_t handle, void* buffer, tmsize_t size);
  static tmsize_t Write(thandle_t handle, void* buffer, tmsize_t size);
  static toff_t Seek(thandle_t handle, toff_t offset, int whence);
  static int Close(thandle_t handle);
  static toff_t Size(thandle_t handle);
  static int MapNothing(thandle_t, void**, toff_t*);
  static void UnmapNothing(thandle_t, void*, toff_t);
  static int OnError(TIFF*, void* user, const char* module, const char* format, va_list args);
  static int OnWarning(TIFF*, void* user, const char* module, const char* format, va_list args);

  size_t Length() const { return writing_ ? output_.size() : input_.size(); }

  std::span<const uint8_t> input_;
  std::vector<uint8_t> output_;
  bool writing_ = false;
  uint64_t position_ = 0;
  std::string error_;
};

// Closes the TIFF when it goes.
struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

}  // namespace imaging
