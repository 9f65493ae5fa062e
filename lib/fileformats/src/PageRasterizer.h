#pragma once

#include <poppler-image.h>

#include <string>

#include "FileFormatsApi.h"

namespace poppler {
class page;
}

namespace fileformats {

// What a drawing call reports: DPL_OK and the picture the renderer made, or an error code with
// its text.
struct DrawResult {
  int code = DPL_OK;
  std::string text;
  poppler::image picture;
};

// Why `bitmap` cannot be drawn into (an empty text when it can): the header, the stride and the
// buffer size must agree, at 24 or 32 bits without compression.
std::string CheckBitmap(const DplBitmap& bitmap);

// Draws `page`, rotated as it asks to be shown, at `resolution` dots per inch into `bitmap`
// (already checked), from its top-left corner; what the page does not cover stays white.
DrawResult DrawPage(const poppler::page& page, double resolution, DplBitmap& bitmap);

}  // namespace fileformats
