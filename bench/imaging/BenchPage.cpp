#include "BenchPage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "PageDrawing.h"
#include "imaging/codecs/TiffEncoder.h"

namespace bench {

namespace {

struct Painter {
  CxImage& image;
  void Fill(int left, int top, int right, int bottom, RgbQuad c) { FillRect(image, left, top, right, bottom, c); }
  void Dot(int x, int y, int radius, RgbQuad c) { Fill(x - radius, y - radius, x + radius + 1, y + radius + 1, c); }
};

// One glyph of `width` x `height` made of 3-pixel strokes.
void DrawGlyph(Painter& painter, Lcg& random, int x, int baseline, int width, int height, RgbQuad ink) {
  const int top = baseline - height;
  const int stroke = 3;
  switch (random.Next() % 6) {
    case 0:  // stem
      painter.Fill(x + width / 2 - 1, top, x + width / 2 + stroke - 1, baseline, ink);
      break;
    case 1:  // bowl
      painter.Fill(x, top, x + stroke, baseline, ink);
      painter.Fill(x + width - stroke, top, x + width, baseline, ink);
      painter.Fill(x, top, x + width, top + stroke, ink);
      painter.Fill(x, baseline - stroke, x + width, baseline, ink);
      break;
    case 2:  // arch
      painter.Fill(x, top, x + stroke, baseline, ink);
      painter.Fill(x, top, x + width, top + stroke, ink);
      painter.Fill(x + width - stroke, top, x + width, baseline, ink);
      break;
    case 3:  // ascender
      painter.Fill(x, top - height / 2, x + stroke, baseline, ink);
      painter.Fill(x, baseline - height / 2, x + width, baseline - height / 2 + stroke, ink);
      painter.Fill(x + width - stroke, baseline - height / 2, x + width, baseline, ink);
      break;
    case 4:  // cross
      painter.Fill(x + width / 2 - 1, top - height / 3, x + width / 2 + stroke - 1, baseline, ink);
      painter.Fill(x, top + stroke, x + width, top + 2 * stroke, ink);
      break;
    default:  // descender
      painter.Fill(x, top, x + width, top + stroke, ink);
      painter.Fill(x + width - stroke, top, x + width, baseline + height / 2, ink);
      break;
  }
}

CxImage MakePage() {
  CxImage page;
  if (!page.Create(kPageWidth, kPageHeight, 24)) {
    std::fprintf(stderr, "bench: can't create the page: %s\n", page.GetLastError());
    std::abort();
  }
  page.SetXDPI(kPageDpi);
  page.SetYDPI(kPageDpi);
  Painter painter{page};
  painter.Fill(0, 0, kPageWidth, kPageHeight, MakeRgb(246, 241, 226));
  Lcg random(20260);
  const RgbQuad ink = MakeRgb(28, 28, 38);
  // A yellow highlight under the fifth line.
  painter.Fill(200, 300 + 5 * 60 - 40, 1400, 300 + 5 * 60 + 8, MakeRgb(250, 240, 120));
  for (int line = 0; line < 48; ++line) {
    const int baseline = 300 + line * 60;
    int x = 180 + (line % 7 == 0 ? 120 : 0);
    const int end = line % 11 == 10 ? 1200 : 2370;
    while (x < end) {
      const int glyphs = random.Between(2, 9);
      for (int g = 0; g < glyphs && x < end; ++g) {
        const int width = random.Between(12, 20);
        DrawGlyph(painter, random, x, baseline, width, 22, ink);
        x += width + 5;
      }
      x += 16;
    }
  }
  // A red stamp ring and a blue signature.
  for (int a = 0; a < 3600; ++a) {
    const double t = a * 3.14159265358979 / 1800;
    painter.Dot(2050 + static_cast<int>(170 * std::cos(t)), 260 + static_cast<int>(170 * std::sin(t)), 4, MakeRgb(205, 35, 45));
  }
  for (int x = 1500; x < 2300; ++x)
    painter.Dot(x, 3150 + static_cast<int>(30 * std::sin(x / 23.0) + 12 * std::sin(x / 7.0)), 2, MakeRgb(30, 50, 170));
  // Scanner noise: a little on every pixel.
  for (uint32_t y = 0; y < kPageHeight; ++y) {
    uint8_t* row = page.GetBits(y);
    for (uint32_t i = 0; i < kPageWidth * 3; ++i) {
      const int noisy = row[i] + static_cast<int>(random.Next() % 9) - 4;
      row[i] = static_cast<uint8_t>(std::clamp(noisy, 0, 255));
    }
  }
  return page;
}

CxImage MakeBilevel(const CxImage& page) {
  CxImage bilevel;
  bilevel.Create(kPageWidth, kPageHeight, 1);
  bilevel.SetXDPI(kPageDpi);
  bilevel.SetYDPI(kPageDpi);
  bilevel.SetPaletteColor(0, MakeRgb(0, 0, 0));
  bilevel.SetPaletteColor(1, MakeRgb(255, 255, 255));
  for (uint32_t y = 0; y < kPageHeight; ++y) {
    const uint8_t* src = page.GetBits(y);
    uint8_t* dst = bilevel.GetBits(y);
    for (uint32_t x = 0; x < kPageWidth; ++x) {
      const uint32_t luminance = (src[3 * x + 2] * 306u + src[3 * x + 1] * 601u + src[3 * x] * 117u) >> 10;
      if (luminance >= 128) dst[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return bilevel;
}

std::vector<uint8_t> MustEncode(const CxImage& image, uint32_t format) {
  std::vector<uint8_t> out;
  if (!image.Encode(out, format)) {
    std::fprintf(stderr, "bench: can't encode the page: %s\n", image.GetLastError());
    std::abort();
  }
  return out;
}

std::vector<uint8_t> MustEncodeTiff(const CxImage& image, imaging::TiffCompression compression) {
  const imaging::TiffPage page{&image, compression};
  auto encoded = imaging::EncodeTiff(std::span<const imaging::TiffPage>(&page, 1));
  if (encoded.IsError()) {
    std::fprintf(stderr, "bench: can't encode the page: %s\n", encoded.ErrorText().c_str());
    std::abort();
  }
  return std::move(encoded).Value();
}

std::vector<Ratio>& MutableRatios() {
  static std::vector<Ratio> ratios;
  return ratios;
}

}  // namespace

const CxImage& Page() {
  static const CxImage page = MakePage();
  return page;
}

const CxImage& BilevelPage() {
  static const CxImage bilevel = MakeBilevel(Page());
  return bilevel;
}

const std::vector<uint8_t>& PageJpeg() {
  static const std::vector<uint8_t> bytes = MustEncode(Page(), ImageFormat::Jpeg);
  return bytes;
}

const std::vector<uint8_t>& PagePng() {
  static const std::vector<uint8_t> bytes = MustEncode(Page(), ImageFormat::Png);
  return bytes;
}

const std::vector<uint8_t>& PageTiffLzw() {
  static const std::vector<uint8_t> bytes = MustEncodeTiff(Page(), imaging::TiffCompression::Lzw);
  return bytes;
}

const std::vector<uint8_t>& PageTiffG4() {
  static const std::vector<uint8_t> bytes = MustEncodeTiff(BilevelPage(), imaging::TiffCompression::CcittG4);
  return bytes;
}

int RegisterRatio(const char* benchmark, const char* reference) {
  MutableRatios().push_back(Ratio{benchmark, reference});
  return 0;
}

const std::vector<Ratio>& Ratios() { return MutableRatios(); }

}  // namespace bench
