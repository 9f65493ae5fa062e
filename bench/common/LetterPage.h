#pragma once

// A US Letter page at 300 dpi (2550 x 3300, 24 bits) as an office scan looks: tinted paper,
// lines of text-like strokes, a red stamp, a little noise. The seed varies the strokes, so that
// pages of one corpus differ while staying the same on every run.

#include <cstdint>

#include "PageDrawing.h"
#include "imaging/CxImage.h"

namespace bench {

constexpr uint32_t kLetterWidth = 2550;
constexpr uint32_t kLetterHeight = 3300;

inline CxImage LetterPage(uint32_t seed = 42) {
  const auto fill = [](CxImage& page, int left, int top, int right, int bottom, uint8_t r, uint8_t g, uint8_t b) {
    FillRect(page, left, top, right, bottom, MakeRgb(r, g, b));
  };
  CxImage page;
  page.Create(kLetterWidth, kLetterHeight, 24);
  page.SetXDPI(300);
  page.SetYDPI(300);
  Lcg random(seed);
  fill(page, 0, 0, kLetterWidth, kLetterHeight, 246, 243, 232);
  for (int baseline = 300; baseline < 3000; baseline += 60) {
    int x = 250;
    while (x < 2250) {
      const int letters = random.Between(2, 9);
      for (int i = 0; i < letters && x < 2300; ++i, x += 26) {
        const int tall = random.Between(0, 3) == 0 ? 44 : 30;
        fill(page, x, baseline - tall, x + 5, baseline, 30, 30, 35);
        if (random.Between(0, 1)) fill(page, x, baseline - 16, x + 20, baseline - 12, 30, 30, 35);
      }
      x += 30;
    }
  }
  fill(page, 1700, 2900, 2200, 3150, 200, 40, 40);
  fill(page, 1720, 2920, 2180, 3130, 246, 243, 232);
  for (int i = 0; i < 40000; ++i) {
    const int x = random.Between(0, kLetterWidth - 1);
    const int y = random.Between(0, kLetterHeight - 1);
    fill(page, x, y, x + 1, y + 1, 200, 200, 190);
  }
  return page;
}

}  // namespace bench
