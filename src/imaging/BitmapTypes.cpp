#include "imaging/BitmapTypes.h"

#include <algorithm>
#include <climits>
#include <cmath>

BitmapInfoHeader ReadInfoHeader(const uint8_t* p) {
  BitmapInfoHeader h;
  h.size = LoadLE32(p);
  h.width = static_cast<int32_t>(LoadLE32(p + 4));
  h.height = static_cast<int32_t>(LoadLE32(p + 8));
  h.planes = LoadLE16(p + 12);
  h.bitCount = LoadLE16(p + 14);
  h.compression = LoadLE32(p + 16);
  h.sizeImage = LoadLE32(p + 20);
  h.xPelsPerMeter = static_cast<int32_t>(LoadLE32(p + 24));
  h.yPelsPerMeter = static_cast<int32_t>(LoadLE32(p + 28));
  h.clrUsed = LoadLE32(p + 32);
  h.clrImportant = LoadLE32(p + 36);
  return h;
}

void WriteInfoHeader(uint8_t* p, const BitmapInfoHeader& h) {
  StoreLE32(p, h.size);
  StoreLE32(p + 4, static_cast<uint32_t>(h.width));
  StoreLE32(p + 8, static_cast<uint32_t>(h.height));
  StoreLE16(p + 12, h.planes);
  StoreLE16(p + 14, h.bitCount);
  StoreLE32(p + 16, h.compression);
  StoreLE32(p + 20, h.sizeImage);
  StoreLE32(p + 24, static_cast<uint32_t>(h.xPelsPerMeter));
  StoreLE32(p + 28, static_cast<uint32_t>(h.yPelsPerMeter));
  StoreLE32(p + 32, h.clrUsed);
  StoreLE32(p + 36, h.clrImportant);
}

int32_t DpiToPixelsPerMeter(int32_t dpi) {
  // A file may claim any resolution; above about 54 million dpi the metric value would not fit.
  const double pixelsPerMeter = std::floor(static_cast<double>(dpi) * 10000.0 / 254.0 + 0.5);
  return static_cast<int32_t>(std::clamp(pixelsPerMeter, double{INT32_MIN}, double{INT32_MAX}));
}

int32_t PixelsPerMeterToDpi(int32_t pixelsPerMeter) {
  if (pixelsPerMeter <= 0) return 0;
  return static_cast<int32_t>(std::floor(static_cast<double>(pixelsPerMeter) * 254.0 / 10000.0 + 0.5));
}
