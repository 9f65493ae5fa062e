#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "imaging/CxImage.h"

// Finds the paper colour of a 24-bit page from its left and right margins and replaces every
// pixel within the paper's colour range: with the paper colour itself (mode 1, evening out
// uneven paper) or with white (mode 2, dropping the paper colour).
//
// One object per page (Apply records the ranges it found); not thread-safe.
class BackgroundFilter {
 public:
  enum Channel : uint32_t { kBlue = 0, kGreen = 1, kRed = 2 };

  // The paper range of one channel: `low` and `high` are both inclusive.
  struct ChannelRange {
    uint8_t peak = 0;
    uint8_t low = 0;
    uint8_t high = 255;
  };

  // `mode` is 1 (replace by the paper colour) or 2 (replace by white).
  explicit BackgroundFilter(int mode);

  // The filtered copy of a 24-bit page; the page itself is not changed. Nothing for an empty
  // image, another depth, a mode other than 1 or 2, or when the copy cannot be allocated
  // (the page then carries the allocation message).
  std::optional<CxImage> Apply(const CxImage& image);

  int Mode() const { return mode_; }
  RgbQuad FillColor() const { return fillColor_; }
  // The range found by the last Apply, widened by the mode.
  const ChannelRange& Range(Channel channel) const { return ranges_[channel]; }

 private:
  void FindRanges(const CxImage& image);

  int mode_;
  RgbQuad fillColor_ = MakeRgb(255, 255, 255);
  std::array<ChannelRange, 3> ranges_{};
};
