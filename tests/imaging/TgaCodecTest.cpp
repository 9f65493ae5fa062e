#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "imaging/CodecFixtures.h"
#include "imaging/CxImage.h"
#include "imaging/ImageFixtures.h"

namespace {

using fixtures::ByteWriter;
using fixtures::Bytes;

// Where the file's first pixel goes: descriptor bit 5 = top, bit 4 = right.
struct Origin {
  const char* name;
  uint8_t descriptorBits;
};

constexpr Origin kOrigins[] = {
    {"BottomLeft", 0x00}, {"BottomRight", 0x10}, {"TopLeft", 0x20}, {"TopRight", 0x30}};
constexpr uint8_t kDepths[] = {16, 24, 32};

constexpr uint32_t kWidth = 5;
constexpr uint32_t kHeight = 3;

uint8_t Expand5(uint32_t five) { return static_cast<uint8_t>((five << 3) | (five >> 2)); }

// Every pixel differs from every other one, in colours that 5-5-5 pixels hold exactly.
RgbQuad PictureColor(uint32_t x, uint32_t y) {
  return MakeRgb(Expand5((x * 7 + y * 3) % 32), Expand5((x * 3 + y * 11 + 5) % 32), Expand5((x * 13 + y * 5 + 9) % 32));
}

// A true-colour TGA of the picture, its pixels in the order the origin asks for; RLE packets
// run across rows, as writers are allowed to make them.
Bytes WriteTrueColorTga(uint8_t bits, bool rle, uint8_t originBits) {
  const bool top = originBits & 0x20;
  const bool right = originBits & 0x10;
  ByteWriter out;
  out.U8(0).U8(0).U8(rle ? 10 : 2).LE16(0).LE16(0).U8(0).LE16(0).LE16(0).LE16(kWidth).LE16(kHeight).U8(bits);
  out.U8(originBits | (bits == 32 ? 8 : bits == 16 ? 1 : 0));  // with the alpha bit count
  std::vector<Bytes> pixels;
  for (uint32_t r = 0; r < kHeight; ++r)
    for (uint32_t c = 0; c < kWidth; ++c) {
      const RgbQuad color = PictureColor(right ? kWidth - 1 - c : c, top ? r : kHeight - 1 - r);
      ByteWriter pixel;
      if (bits == 16) {
        pixel.LE16(0x8000 | (color.red >> 3) << 10 | (color.green >> 3) << 5 | color.blue >> 3);
      } else {
        pixel.U8(color.blue).U8(color.green).U8(color.red);
        if (bits == 32) pixel.U8(0xFF);
      }
      pixels.push_back(pixel.Get());
    }
  if (!rle) {
    for (const Bytes& pixel : pixels) out.Append(pixel);
    return out.Get();
  }
  // A repeat packet of one pixel, then one literal packet across every row end.
  out.U8(0x80 | 0).Append(pixels[0]);
  out.U8(static_cast<uint32_t>(pixels.size()) - 2);
  for (size_t i = 1; i < pixels.size(); ++i) out.Append(pixels[i]);
  return out.Get();
}

using OriginCase = std::tuple<Origin, uint8_t, bool>;

class TgaOriginTest : public ::testing::TestWithParam<OriginCase> {};

TEST_P(TgaOriginTest, PixelsLandWhereTheOriginSays) {
  const auto& [origin, bits, rle] = GetParam();
  const fixtures::TempFile file(WriteTrueColorTga(bits, rle, origin.descriptorBits), ".tga");
  CxImage image;
  ASSERT_TRUE(image.LoadFile(file.Path(), ImageFormat::Tga)) << image.GetLastError();
  ASSERT_EQ(image.GetBpp(), 24u);
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x) EXPECT_EQ(fixtures::PixelAt(image, x, y), PictureColor(x, y)) << x << ", " << y;
  // ImageMagick reads the rows as stored and tags the origin; -auto-orient applies it. It widens
  // 5-bit channels by shifting, we scale them exactly.
  EXPECT_TRUE(fixtures::SameAsRgb(fixtures::MagickRgb(file.Path(), "-auto-orient"), kWidth, kHeight, image,
                                  /*tolerance=*/bits == 16 ? 8 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    Origins, TgaOriginTest,
    ::testing::Combine(::testing::ValuesIn(kOrigins), ::testing::ValuesIn(kDepths), ::testing::Bool()),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + std::to_string(std::get<1>(info.param)) +
             (std::get<2>(info.param) ? "Rle" : "Raw");
    });

// ImageMagick 6 writes the rows top first and marks them bottom-left (descriptor 0x08 for
// 32 bits): by the format, and for its own -auto-orient, the first row is the bottom one, so
// the page is upside down compared with the picture it was made from. The file is what says
// where the rows go; we read it as the other readers do.
TEST(TgaDecoderTest, ImageMagicksBottomLeftFileIsReadAsItsOriginSays) {
  const Bytes tga = fixtures::RunConvert("rose: -alpha on tga:-");
  ASSERT_GE(tga.size(), 18u);
  EXPECT_EQ(tga[17], 0x08);
  const fixtures::TempFile file(tga, ".tga");
  CxImage image;
  ASSERT_TRUE(image.LoadFile(file.Path(), ImageFormat::Tga)) << image.GetLastError();
  EXPECT_TRUE(fixtures::SameAsRgb(fixtures::MagickRgb(file.Path(), "-auto-orient"), 70, 46, image));
  EXPECT_TRUE(fixtures::SameAsRgb(fixtures::MagickRgb(file.Path(), "-flip"), 70, 46, image));
}

}  // namespace
