#pragma once

#include "twain/twain.h"

// The current values that scanning itself depends on, read straight from the process-wide
// capability values (valid before any application has opened the source, too). Callers run
// on the thread that holds the session, like negotiation does.
class CapabilityValues {
 public:
  // CAP_XFERCOUNT: images the application wants from one batch; -1 means no limit.
  static TW_INT16 XferCount();
  static void SetXferCount(TW_INT16 count);
  // ICAP_PIXELTYPE (TWPT_), ICAP_BITDEPTH (bits per pixel), ICAP_PIXELFLAVOR (TWPF_).
  static TW_UINT16 PixelType();
  static TW_UINT16 BitDepth();
  static TW_UINT16 PixelFlavor();
  // ICAP_XRESOLUTION, ICAP_YRESOLUTION in dots per inch.
  static double XResolution();
  static double YResolution();
};
