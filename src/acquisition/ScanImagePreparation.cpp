// The two passes over a loaded page: the user's enhancements, then the negotiated format.
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "acquisition/ScanImage.h"
#include "imaging/BackgroundFilter.h"
#include "imaging/ColorDetector.h"
#include "settings/SettingsStore.h"
#include "twain/twain.h"

namespace {

// A pixel count computed in floating point, truncated; out-of-range values become the largest
// count, which the resampling then refuses (never an undefined conversion).
int32_t TruncatedPixels(double value) {
  if (!(value >= 0.0)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

}  // namespace

void ScanImage::ImageProcessing(const SettingsStore& settings) {
  const int backgroundDropout = settings.GetBackgroundDropout();
  logger_.Debug("Image info before ImageProcessing: ImageWidth=%d ImageHeight=%d XRes=%d YRes=%d, BPP=%d",
                image_.GetWidth(), image_.GetHeight(), image_.GetXDPI(), image_.GetYDPI(), image_.GetBpp());

  if (settings.GetThreshold() && image_.GetBpp() != 1) {
    Binarise(settings);
  } else {
    if (image_.GetBpp() == 24 && (backgroundDropout == 1 || backgroundDropout == 2)) {
      BackgroundFilter filter(backgroundDropout);
      std::optional<CxImage> filtered = filter.Apply(image_);
      if (filtered) image_.SwapWith(*filtered);
    }
    if (image_.GetBpp() == 24 && settings.GetColorDetection()) {
      ColorDetector detector;
      if (const std::optional<ColorDetector::Measure> measure = detector.Detect(image_)) {
        logger_.Debug("ColorDetection: Ratio=%d Amount=%d", measure->ratio, measure->amount);
        const int amountLimit = settings.GetColorDetectionAmount();
        const int ratioLimit = settings.GetColorDetectionRatio();
        if (amountLimit != 0 && measure->amount < amountLimit) {
          Binarise(settings);
        } else if (ratioLimit != 0 && measure->ratio < ratioLimit) {
          Binarise(settings);
        }
      }
    }
  }

  const int rotation = settings.GetRotation();
  if (rotation != 0) {
    logger_.Debug("Rotation: Degrees=%d", rotation);
    image_.RotateBy(static_cast<float>(rotation));
  }
  if (settings.GetMirror()) {
    logger_.Debug("Image mirrored");
    image_.MirrorHorizontally();
  }
  ScaleTo(settings.GetScaleToWidth(), settings.GetScaleToHeight());

  logger_.Debug("Image info after ImageProcessing: ImageWidth=%d ImageHeight=%d XRes=%d YRes=%d, BPP=%d",
                image_.GetWidth(), image_.GetHeight(), image_.GetXDPI(), image_.GetYDPI(), image_.GetBpp());
}

void ScanImage::Binarise(const SettingsStore& settings) {
  logger_.Debug("Threshold the image");
  const int32_t xDpi = image_.GetXDPI();
  const int32_t yDpi = image_.GetYDPI();
  image_.AdaptiveThreshold(settings.GetThresholdMethod(), settings.GetThresholdBoxSize(), nullptr, 0,
                           static_cast<float>(settings.GetThresholdGlobalLocalBalance()));
  image_.SetXDPI(xDpi);
  image_.SetYDPI(yDpi);
}

void ScanImage::ScaleTo(int32_t width, int32_t height) {
  if (width == 0 && height == 0) return;
  if (!image_.IsValid()) return;
  const double imageWidth = image_.GetWidth();
  const double imageHeight = image_.GetHeight();
  if (width == 0) width = TruncatedPixels(height / imageHeight * imageWidth);
  if (height == 0) height = TruncatedPixels(width / imageWidth * imageHeight);
  image_.ResizeTo(width, height, 1);
}

void ScanImage::Prepare(bool forcePixelType, const NegotiatedFormat& format, bool fixResolution) {
  if (image_.GetBpp() == 1 && Flavor() != format.pixelFlavor) ConvertFlavor(format.pixelFlavor);
  if (forcePixelType) ConvertPixelType(format.pixelType, format.bitDepth);
  if (fixResolution) FixResolution(format.xResolution, format.yResolution);
  // Applications are offered 1, 8 and 24 bits and trust what they were offered: a 4-bit page
  // goes out as the same picture with 8-bit indices into the same palette.
  if (image_.GetBpp() == 4 && !image_.RaiseBpp(8)) {
    logger_.Error("The 4-bit page could not be widened to 8 bits: %s", image_.GetLastError());
  }
  const uint64_t rowBits = uint64_t{image_.GetWidth()} * image_.GetBpp();
  bytesPerRow_ = static_cast<int32_t>(((rowBits + 7) / 8 + 3) / 4 * 4);
}

void ScanImage::ConvertFlavor(uint16_t flavor) {
  const uint16_t oldFlavor = Flavor();
  // Exchanging the palette entries and every pixel bit keeps the picture and swaps what the
  // values mean. Every byte that holds pixels flips, the last partial one of a row included.
  image_.Invert();
  const uint32_t rowBytes = (image_.GetWidth() + 7) / 8;
  for (uint32_t row = 0; row < image_.GetHeight(); ++row) {
    uint8_t* bits = image_.GetBits(row);
    for (uint32_t i = 0; i < rowBytes; ++i) bits[i] = static_cast<uint8_t>(~bits[i]);
  }
  logger_.Debug("Flavor was converted from %d to %d", oldFlavor, flavor);
}

void ScanImage::ConvertPixelType(uint16_t pixelType, uint16_t bitDepth) {
  const uint16_t oldType = PixelType();
  if (pixelType == TWPT_GRAY && oldType != TWPT_GRAY) image_.ToGray();
  const uint32_t depth = image_.GetBpp();
  if (depth < bitDepth) {
    image_.RaiseBpp(bitDepth);
  } else if (depth > bitDepth) {
    image_.DecreaseBpp(bitDepth, /*errorDiffusion=*/false, nullptr, 0);
  }
  logger_.Debug("Image was converted from %s, %d bits to %s, %d bits", PixelTypeName(oldType), depth,
                PixelTypeName(pixelType), bitDepth);
}

void ScanImage::FixResolution(double requestedX, double requestedY) {
  const double x = image_.GetXDPI();
  const double y = image_.GetYDPI();
  logger_.Debug("Requested resolutions:\n XResolution=%f YResolution=%f\n Image resolutions: XResolution=%f YResolution=%f\n",
                requestedX, requestedY, x, y);
  const bool different = x != y && x != 0 && y != 0;
  if (!different && x == requestedX && y == requestedY) return;
  if (x <= 0 || y <= 0 || requestedX <= 0 || requestedY <= 0) return;

  double width = image_.GetWidth();
  double height = image_.GetHeight();
  if (different) {
    logger_.Debug("Image has different X and Y resolutions:\n XResolution=%f YResolution=%f\n ImageWidth=%d ImageHeight=%d",
                  x, y, image_.GetWidth(), image_.GetHeight());
  }
  // Both axes first get the finer resolution, then each is brought to the requested one.
  int32_t newWidth = image_.GetWidth();
  int32_t newHeight = image_.GetHeight();
  double newX = x;
  double newY = y;
  if (y < x) {
    newHeight = TruncatedPixels(height * x / y);
    newY = x;
  } else {
    newWidth = TruncatedPixels(width * y / x);
    newX = y;
  }
  const double common = newX;
  width = newWidth;
  height = newHeight;
  if (requestedX != common) {
    newWidth = TruncatedPixels(width * requestedX / common);
    newX = requestedX;
  }
  if (requestedY != common) {
    newHeight = TruncatedPixels(height * requestedY / common);
    newY = requestedY;
  }
  // The resolutions change only with the pixels: a page that cannot be resampled keeps both.
  if (image_.ResizeTo(newWidth, newHeight, 1)) {
    image_.SetXDPI(static_cast<int32_t>(newX));
    image_.SetYDPI(static_cast<int32_t>(newY));
  }
  logger_.Debug("New image properties:\n XResolution=%f YResolution=%f\n ImageWidth=%d ImageHeight=%d",
                static_cast<double>(image_.GetXDPI()), static_cast<double>(image_.GetYDPI()), image_.GetWidth(),
                image_.GetHeight());
}
