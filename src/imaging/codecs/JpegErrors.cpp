#include "imaging/codecs/JpegErrors.h"

#include <cstring>

#include <jerror.h>

namespace imaging {

namespace {

JpegErrorManager& ManagerOf(j_common_ptr info) { return *reinterpret_cast<JpegErrorManager*>(info->err); }

[[noreturn]] void ExitWithError(j_common_ptr info) {
  JpegErrorManager& manager = ManagerOf(info);
  char text[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, text);
  std::snprintf(manager.message, sizeof manager.message, "JPEG: %s", text);
  std::longjmp(manager.jump, 1);
}

void NoteMessage(j_common_ptr info, int level) {
  // Level -1 is a warning about damaged data. The only one we act on is the premature end:
  // libjpeg pads the image with gray, which would pass a half-written file as a good page.
  if (level == -1 && info->err->msg_code == JWRN_JPEG_EOF) ManagerOf(info).truncated = true;
}

void Silent(j_common_ptr) {}

}  // namespace

jpeg_error_mgr* InstallJpegErrors(JpegErrorManager& manager) {
  std::memset(&manager, 0, sizeof manager);
  jpeg_std_error(&manager.base);
  manager.base.error_exit = ExitWithError;
  manager.base.emit_message = NoteMessage;
  manager.base.output_message = Silent;
  return &manager.base;
}

}  // namespace imaging
