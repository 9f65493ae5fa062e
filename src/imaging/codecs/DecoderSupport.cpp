#include "imaging/codecs/DecoderSupport.h"

#include <cmath>

namespace imaging {

namespace {

int32_t ToDpi(double value, int unit) {
  if (!(value > 0) || !std::isfinite(value)) return 0;
  const double dpi = unit == 2 ? value * 2.54 : value;
  if (dpi > 1e6) return 0;
  return static_cast<int32_t>(std::lround(dpi));
}

}  // namespace

void SetResolution(CxImage& image, double x, double y, int unit) {
  if (unit != 1 && unit != 2) return;
  image.SetXDPI(ToDpi(x, unit));
  image.SetYDPI(ToDpi(y, unit));
}

}  // namespace imaging
