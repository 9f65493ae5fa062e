#pragma once

#include <array>
#include <cstdint>
#include <optional>

class CxImage;

// Measures how much real colour a 24-bit page holds, so that black-and-white documents on
// tinted paper can be delivered as black and white.
//
// The page's margins decide what paper it is (`Mode`: 0 dark, 1 mid-tone, 2 light); on dark
// and mid-tone paper a threshold from the whole page's intensity histogram limits which pixels
// are examined. Each examined pixel is gray, colour (far enough from both black and white), or
// neither; colour pixels are set against the other content pixels (dark ones on light or
// mid-tone paper, light ones on dark paper).
//
// One object per page (Detect records the mode and threshold it used); not thread-safe.
class ColorDetector {
 public:
  struct Measure {
    int ratio = 0;   // colour pixels per 100 content pixels
    int amount = 0;  // colour pixels per 100 pixels of the page
  };

  ColorDetector() = default;

  // Nothing for an empty image or one that is not 24 bits deep.
  std::optional<Measure> Detect(const CxImage& image);

  int GrayLimit() const { return grayLimit_; }
  int BlackDistance() const { return blackDistance_; }
  int WhiteDistance() const { return whiteDistance_; }
  // Found by the last Detect.
  int Mode() const { return mode_; }
  int Threshold() const { return threshold_; }

  // The intensity that best splits a histogram into two classes (smallest weighted sum of the
  // class variances, first on ties), searched over 1 to 254; 0 when no split scores below 1e8.
  static int ThresholdOf(const std::array<uint32_t, 256>& histogram);

 private:
  int grayLimit_ = 12;
  int blackDistance_ = 800000;
  int whiteDistance_ = 50000;
  int mode_ = 0;
  int threshold_ = 0;
};
