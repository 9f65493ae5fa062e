#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "imaging/BitmapTypes.h"

namespace imaging {

// Finds the palette entry nearest to a colour (smallest squared distance over red, green and
// blue; the lowest index on ties). Answers are cached by colour, so pages with few distinct
// colours cost one table look-up per pixel. Not thread-safe (the cache changes).
class NearestColor {
 public:
  // `count` entries of `palette` (1 to 256) take part.
  NearestColor(const RgbQuad* palette, uint32_t count);

  uint8_t Find(uint8_t blue, uint8_t green, uint8_t red) {
    if (twoEntries_) return TwoEntryIndex(blue, green, red);
    const uint32_t key = (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
    const uint32_t slot = Hash(key);
    if (cacheKeys_[slot] == (key | kValid)) return cacheValues_[slot];
    const uint8_t index = Search(blue, green, red);
    cacheKeys_[slot] = key | kValid;
    cacheValues_[slot] = index;
    return index;
  }

  const RgbQuad& Entry(uint8_t index) const { return palette_[index]; }

 private:
  static constexpr uint32_t kValid = 0x80000000u;
  static constexpr uint32_t kCacheBits = 14;

  static uint32_t Hash(uint32_t key) { return (key * 2654435761u) >> (32 - kCacheBits); }

  // With two entries the nearer one follows from a linear test: entry 1 is nearer exactly when
  // 2 * (c . (p1 - p0)) > |p1|^2 - |p0|^2.
  uint8_t TwoEntryIndex(uint8_t blue, uint8_t green, uint8_t red) const {
    const int32_t dot = blue * delta_[0] + green * delta_[1] + red * delta_[2];
    return 2 * dot > bias_ ? 1 : 0;
  }

  uint8_t Search(uint8_t blue, uint8_t green, uint8_t red) const;

  std::vector<RgbQuad> palette_;
  bool twoEntries_ = false;
  std::array<int32_t, 3> delta_{};
  int32_t bias_ = 0;
  std::vector<uint32_t> cacheKeys_;
  std::vector<uint8_t> cacheValues_;
};

}  // namespace imaging
