// Building an image from a device-independent bitmap section (what the PDF library draws into).

#include <cstring>

#include "imaging/CxImage.h"
#include "imaging/ImageLimits.h"
#include "platform/Bitmap.h"

bool CxImage::CreateFromBitmapHandle(const platform::BitmapSection& bitmap) {
  constexpr const char* kFailure = "GetDIBits failed";
  if (!bitmap.IsValid() || bitmap.Width() <= 0 || bitmap.Height() <= 0 ||
      (bitmap.BitCount() != 24 && bitmap.BitCount() != 32)) {
    SetLastError(kFailure);
    return false;
  }
  const auto width = static_cast<uint32_t>(bitmap.Width());
  const auto height = static_cast<uint32_t>(bitmap.Height());
  if (!imaging::WithinImageLimit(width, height, 24)) {
    SetLastError(kFailure);
    return false;
  }

  // Built aside and swapped in, so that a failure leaves this image as it was.
  CxImage built(type_);
  if (!built.Create(width, height, 24, type_)) {
    SetLastError(kFailure);
    return false;
  }
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t* source = bitmap.PictureRow(static_cast<int32_t>(row));
    // The block stores the picture bottom-up.
    uint8_t* target = built.GetBits(height - 1 - row);
    if (bitmap.BitCount() == 24) {
      std::memcpy(target, source, static_cast<size_t>(width) * 3);
      continue;
    }
    for (uint32_t x = 0; x < width; ++x) {
      target[3 * x] = source[4 * x];
      target[3 * x + 1] = source[4 * x + 1];
      target[3 * x + 2] = source[4 * x + 2];
    }
  }
  built.SetXDPI(xDpi_);
  built.SetYDPI(yDpi_);
  built.SetNumFrames(numFrames_);
  built.SetFrame(frame_);
  SwapWith(built);
  return true;
}
