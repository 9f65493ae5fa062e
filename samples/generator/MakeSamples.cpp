// Makes the sample pages of samples/: a colour letter as JPEG, a gray form as PNG, a two-page
// TIFF (a black-and-white page in CCITT G4, a colour chart in LZW) and a palette chart as GIF.
// The pages are drawn the same way on every run. Usage: make_samples FOLDER
#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/codecs/TiffEncoder.h"

namespace {

class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  int Between(int low, int high) {
    state_ = state_ * 1664525u + 1013904223u;
    return low + static_cast<int>((state_ >> 8) % static_cast<uint32_t>(high - low + 1));
  }

 private:
  uint32_t state_;
};

// Draws on a page of any depth: `colour` is an index below 24 bits, else blue, green, red.
class Painter {
 public:
  explicit Painter(CxImage& image) : image_(image) {}

  void Fill(int left, int top, int right, int bottom, RgbQuad colour) {
    const int width = static_cast<int>(image_.GetWidth());
    const int height = static_cast<int>(image_.GetHeight());
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y) {
      uint8_t* row = image_.GetBits(static_cast<uint32_t>(height - 1 - y));
      for (int x = std::max(left, 0); x < std::min(right, width); ++x) Set(row, x, colour);
    }
  }

  // Lines of word-like blocks of strokes, as a page of text looks from afar.
  void Text(Lcg& random, int left, int top, int right, int bottom, int lineHeight, RgbQuad ink) {
    const int glyph = lineHeight / 2;
    for (int baseline = top + glyph; baseline + 2 < bottom; baseline += lineHeight) {
      int x = left;
      const int end = right - random.Between(0, (right - left) / 4);
      while (x + glyph < end) {
        const int letters = random.Between(2, 8);
        for (int i = 0; i < letters && x + glyph < end; ++i, x += glyph * 3 / 4) {
          const int tall = random.Between(0, 3) == 0 ? glyph * 3 / 2 : glyph;
          const int stroke = std::max(1, glyph / 6);
          Fill(x, baseline - tall, x + stroke, baseline, ink);
          if (random.Between(0, 1)) Fill(x, baseline - glyph / 2, x + glyph / 2, baseline - glyph / 2 + stroke, ink);
          if (random.Between(0, 2) == 0) Fill(x, baseline - stroke, x + glyph / 2, baseline, ink);
        }
        x += glyph;
      }
    }
  }

 private:
  void Set(uint8_t* row, int x, RgbQuad colour) {
    switch (image_.GetBpp()) {
      case 1: {
        const auto bit = static_cast<uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = colour.blue ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
        return;
      }
      case 8: row[x] = colour.blue; return;
      default:
        row[3 * x] = colour.blue;
        row[3 * x + 1] = colour.green;
        row[3 * x + 2] = colour.red;
        return;
    }
  }

  CxImage& image_;
};

constexpr RgbQuad Bgr(uint8_t red, uint8_t green, uint8_t blue) { return RgbQuad{blue, green, red, 0}; }
constexpr RgbQuad Index(uint8_t index) { return RgbQuad{index, 0, 0, 0}; }

bool Page(CxImage& image, uint32_t width, uint32_t height, uint32_t bpp, int32_t dpi) {
  if (!image.Create(width, height, bpp)) return false;
  image.SetXDPI(dpi);
  image.SetYDPI(dpi);
  return true;
}

// A colour letter: letterhead band, text, a red stamp, a blue signature line.
CxImage Letter() {
  CxImage page;
  Page(page, 638, 825, 24, 75);  // US Letter at 75 dpi
  Painter paint(page);
  Lcg random(7);
  paint.Fill(0, 0, 638, 825, Bgr(250, 248, 240));
  paint.Fill(0, 0, 638, 70, Bgr(30, 70, 140));
  paint.Fill(40, 20, 240, 50, Bgr(240, 200, 60));
  paint.Text(random, 50, 110, 590, 600, 24, Bgr(25, 25, 30));
  paint.Fill(420, 640, 560, 720, Bgr(200, 30, 40));
  paint.Fill(432, 652, 548, 708, Bgr(250, 248, 240));
  paint.Fill(60, 740, 260, 744, Bgr(30, 50, 170));
  return page;
}

// A gray form: boxes with labels and filled fields.
CxImage Form() {
  CxImage page;
  Page(page, 850, 1100, 8, 100);  // US Letter at 100 dpi
  page.SetGrayPalette();
  Painter paint(page);
  Lcg random(11);
  paint.Fill(0, 0, 850, 1100, Index(255));
  for (int box = 0; box < 8; ++box) {
    const int top = 80 + box * 120;
    paint.Fill(60, top, 790, top + 3, Index(40));
    paint.Fill(60, top + 100, 790, top + 103, Index(40));
    paint.Fill(60, top, 63, top + 103, Index(40));
    paint.Fill(787, top, 790, top + 103, Index(40));
    paint.Fill(64, top + 4, 300, top + 100, Index(static_cast<uint8_t>(200 + box * 5)));
    paint.Text(random, 75, top + 15, 290, top + 95, 26, Index(20));
    paint.Text(random, 320, top + 20, 770, top + 95, 30, Index(static_cast<uint8_t>(60 + box * 10)));
  }
  return page;
}

// A black-and-white text page: index 0 black, 1 white.
CxImage TextPage() {
  CxImage page;
  Page(page, 1700, 2200, 1, 200);  // US Letter at 200 dpi
  page.SetPaletteColor(0, Bgr(0, 0, 0));
  page.SetPaletteColor(1, Bgr(255, 255, 255));
  Painter paint(page);
  Lcg random(13);
  paint.Fill(0, 0, 1700, 2200, Index(1));
  paint.Fill(150, 150, 900, 200, Index(0));
  paint.Text(random, 150, 280, 1550, 2000, 40, Index(0));
  return page;
}

// A colour bar chart.
CxImage Chart(uint32_t bpp) {
  CxImage page;
  Page(page, 480, 320, bpp, 72);
  const RgbQuad colours[] = {Bgr(255, 255, 255), Bgr(20, 20, 20),   Bgr(200, 40, 40), Bgr(40, 150, 60),
                             Bgr(40, 80, 200),   Bgr(230, 180, 30), Bgr(140, 60, 170), Bgr(210, 210, 210)};
  if (bpp == 8) {
    for (uint8_t i = 0; i < 8; ++i) page.SetPaletteColor(i, colours[i]);
  }
  const auto colour = [&](uint8_t i) { return bpp == 8 ? Index(i) : colours[i]; };
  Painter paint(page);
  paint.Fill(0, 0, 480, 320, colour(0));
  for (int y = 40; y <= 280; y += 40) paint.Fill(50, y, 450, y + 1, colour(7));
  paint.Fill(48, 30, 50, 282, colour(1));
  paint.Fill(48, 280, 450, 282, colour(1));
  const int heights[] = {180, 120, 220, 90, 160};
  for (int i = 0; i < 5; ++i) {
    const int left = 80 + i * 72;
    paint.Fill(left, 280 - heights[i], left + 48, 280, colour(static_cast<uint8_t>(2 + i)));
  }
  return page;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WriteGif(const std::string& path, const CxImage& page) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (gif == nullptr) return false;
  GifColorType colours[256] = {};
  for (uint32_t i = 0; i < 256; ++i) {
    const RgbQuad c = page.GetPaletteColor(i);
    colours[i] = GifColorType{c.red, c.green, c.blue};
  }
  ColorMapObject* map = GifMakeMapObject(256, colours);
  const int width = static_cast<int>(page.GetWidth());
  const int height = static_cast<int>(page.GetHeight());
  bool ok = map != nullptr && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
  std::vector<GifPixelType> line(static_cast<size_t>(width));
  for (int y = 0; ok && y < height; ++y) {
    const uint8_t* row = page.GetBits(static_cast<uint32_t>(height - 1 - y));
    std::copy(row, row + width, line.begin());
    ok = EGifPutLine(gif, line.data(), width) == GIF_OK;
  }
  GifFreeMapObject(map);
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

bool Save(const std::string& path, const CxImage& page, uint32_t formatId) {
  if (page.SaveFile(path, formatId)) return true;
  std::fprintf(stderr, "make_samples: %s: %s\n", path.c_str(), page.GetLastError());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: make_samples FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  bool ok = Save(folder + "letter.jpg", Letter(), ImageFormat::Jpeg);
  ok = Save(folder + "form.png", Form(), ImageFormat::Png) && ok;

  const CxImage text = TextPage();
  const CxImage chart = Chart(24);
  const imaging::TiffPage pages[] = {{&text, imaging::TiffCompression::CcittG4},
                                     {&chart, imaging::TiffCompression::Lzw}};
  auto tiff = imaging::EncodeTiff(pages);
  if (tiff.IsError() || !WriteBytes(folder + "two-pages.tif", tiff.Value())) {
    std::fprintf(stderr, "make_samples: two-pages.tif: %s\n", tiff.IsError() ? tiff.ErrorText().c_str() : "write failed");
    ok = false;
  }
  if (!WriteGif(folder + "chart.gif", Chart(8))) {
    std::fprintf(stderr, "make_samples: chart.gif: cannot write\n");
    ok = false;
  }
  return ok ? 0 : 1;
}
