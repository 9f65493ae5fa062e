#pragma once

// The libjpeg error handling of the JPEG decoder and encoder. libjpeg's default handler
// prints and calls exit(); ours records the message and longjmps back to the setjmp of the
// function that called into libjpeg. Those functions hold no C++ objects with destructors.

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace imaging {

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX + 8];
  bool truncated;  // the data ended before the image did
};

// Installs the manager into `err` of a compress or decompress object.
jpeg_error_mgr* InstallJpegErrors(JpegErrorManager& manager);

}  // namespace imaging
