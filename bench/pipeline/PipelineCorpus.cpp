#include "PipelineCorpus.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "PageDrawing.h"
#include "imaging/CxImage.h"
#include "imaging/codecs/TiffEncoder.h"

namespace bench_pipeline {

namespace {

using bench::Lcg;

void Fill(CxImage& page, int left, int top, int right, int bottom, RgbQuad color) {
  bench::FillRect(page, left, top, right, bottom, color);
}

[[noreturn]] void Fail(const char* what, const char* detail) {
  std::fprintf(stderr, "bench_pipeline: %s: %s\n", what, detail);
  std::exit(1);
}

CxImage MakePage(int number) {
  CxImage page;
  if (!page.Create(kPageWidth, kPageHeight, 24)) Fail("cannot create a page", page.GetLastError());
  page.SetXDPI(kPageDpi);
  page.SetYDPI(kPageDpi);
  Fill(page, 0, 0, kPageWidth, kPageHeight, MakeRgb(245, 240, 224));
  Lcg random(1000u + static_cast<uint32_t>(number));
  const RgbQuad ink = MakeRgb(30, 30, 40);
  for (int line = 0; line < 46; ++line) {
    const int baseline = 320 + line * 62;
    int x = 200;
    const int end = line % 9 == 8 ? 1300 : 2350;
    while (x < end) {
      const int width = random.Between(10, 22);
      const int height = random.Between(14, 26);
      // A glyph: two stems and a bar, sometimes an ascender.
      Fill(page, x, baseline - height, x + 3, baseline, ink);
      Fill(page, x + width - 3, baseline - height, x + width, baseline, ink);
      Fill(page, x, baseline - height, x + width, baseline - height + 3, ink);
      if (random.Next() % 4 == 0) Fill(page, x, baseline - height - 10, x + 3, baseline - height, ink);
      x += width + (random.Next() % 6 == 0 ? 22 : 5);
    }
  }
  // A red stamp in the corner, its position moving from page to page.
  const int stampLeft = 1900 + number * 7;
  Fill(page, stampLeft, 120, stampLeft + 420, 135, MakeRgb(200, 35, 45));
  Fill(page, stampLeft, 255, stampLeft + 420, 270, MakeRgb(200, 35, 45));
  Fill(page, stampLeft, 120, stampLeft + 15, 270, MakeRgb(200, 35, 45));
  Fill(page, stampLeft + 405, 120, stampLeft + 420, 270, MakeRgb(200, 35, 45));
  // A little scanner noise everywhere.
  for (uint32_t y = 0; y < kPageHeight; ++y) {
    uint8_t* row = page.GetBits(y);
    for (uint32_t i = 0; i < kPageWidth * 3; ++i) {
      row[i] = static_cast<uint8_t>(std::clamp(row[i] + static_cast<int>(random.Next() % 7) - 3, 0, 255));
    }
  }
  return page;
}

CxImage Bilevel(const CxImage& page) {
  CxImage bilevel;
  if (!bilevel.Create(kPageWidth, kPageHeight, 1)) Fail("cannot create a page", bilevel.GetLastError());
  bilevel.SetXDPI(kPageDpi);
  bilevel.SetYDPI(kPageDpi);
  bilevel.SetPaletteColor(0, MakeRgb(0, 0, 0));
  bilevel.SetPaletteColor(1, MakeRgb(255, 255, 255));
  for (uint32_t y = 0; y < kPageHeight; ++y) {
    const uint8_t* source = page.GetBits(y);
    uint8_t* target = bilevel.GetBits(y);
    for (uint32_t x = 0; x < kPageWidth; ++x) {
      const uint32_t gray = (source[3 * x] + 2u * source[3 * x + 1] + source[3 * x + 2]) / 4;
      if (gray >= 128) target[x / 8] = static_cast<uint8_t>(target[x / 8] | (0x80 >> (x % 8)));
    }
  }
  return bilevel;
}

}  // namespace

void WriteCorpus(const std::string& folder, bool bilevelTiff) {
  std::filesystem::create_directories(folder);
  for (int number = 0; number < kPageCount; ++number) {
    char name[32];
    std::snprintf(name, sizeof name, "page%02d.%s", number + 1, bilevelTiff ? "tif" : "jpg");
    const std::string path = folder + name;
    const CxImage page = MakePage(number);
    if (!bilevelTiff) {
      if (!page.SaveFile(path, ImageFormat::Jpeg)) Fail("cannot write", path.c_str());
      continue;
    }
    const CxImage bilevel = Bilevel(page);
    const imaging::TiffPage tiffPage{&bilevel, imaging::TiffCompression::CcittG4};
    auto encoded = imaging::EncodeTiff(std::span<const imaging::TiffPage>(&tiffPage, 1));
    if (encoded.IsError()) Fail("cannot encode", encoded.ErrorText().c_str());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(encoded.Value().data()), static_cast<std::streamsize>(encoded.Value().size()));
    if (!out) Fail("cannot write", path.c_str());
  }
}

}  // namespace bench_pipeline
