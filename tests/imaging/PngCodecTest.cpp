#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "imaging/CodecFixtures.h"
#include "imaging/CxImage.h"
#include "imaging/ImageFixtures.h"

namespace {

using fixtures::Bytes;

struct PngSpec {
  uint32_t width = 2;
  uint32_t height = 1;
  int colorType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<png_byte> paletteAlpha;
  uint32_t pixelsPerMeter = 0;
  std::vector<Bytes> rows;  // as libpng takes them: packed, 16-bit samples big-endian
};

void Append(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}

// Written with libpng directly, to reach layouts our own encoder never produces.
Bytes WritePng(const PngSpec& params) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, Append, NoFlush);
  png_set_IHDR(png, info, params.width, params.height, params.bitDepth, params.colorType,
               params.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!params.palette.empty()) png_set_PLTE(png, info, params.palette.data(), static_cast<int>(params.palette.size()));
  if (!params.paletteAlpha.empty())
    png_set_tRNS(png, info, params.paletteAlpha.data(), static_cast<int>(params.paletteAlpha.size()), nullptr);
  if (params.pixelsPerMeter) png_set_pHYs(png, info, params.pixelsPerMeter, params.pixelsPerMeter, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  std::vector<Bytes> copies = params.rows;
  for (Bytes& row : copies) rows.push_back(row.data());
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

CxImage DecodePng(const Bytes& bytes) {
  CxImage image;
  EXPECT_TRUE(image.Decode(bytes, ImageFormat::Png)) << image.GetLastError();
  return image;
}

struct LayoutCase {
  const char* name;
  PngSpec params;
  uint32_t bpp;
  std::vector<RgbQuad> pixels;  // the first row, left to right
};

class PngLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PngLayoutTest, DecodesToTheExpectedColours) {
  const LayoutCase& c = GetParam();
  const CxImage image = DecodePng(WritePng(c.params));
  ASSERT_EQ(image.GetBpp(), c.bpp);
  for (uint32_t x = 0; x < c.pixels.size(); ++x) EXPECT_EQ(fixtures::PixelAt(image, x, 0), c.pixels[x]) << "x = " << x;
}

PngSpec MakeParams(int colorType, int depth, std::vector<Bytes> rows, uint32_t width = 2) {
  PngSpec params;
  params.colorType = colorType;
  params.bitDepth = depth;
  params.rows = std::move(rows);
  params.width = width;
  params.height = static_cast<uint32_t>(params.rows.size());
  return params;
}

PngSpec WithPalette(PngSpec params, std::vector<png_color> palette, std::vector<png_byte> alpha = {}) {
  params.palette = std::move(palette);
  params.paletteAlpha = std::move(alpha);
  return params;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PngLayoutTest,
    ::testing::Values(
        // 16-bit samples are scaled to 8 bits: 0x1234 -> 0x12, 0xFFFF -> 0xFF.
        LayoutCase{"Rgb16", MakeParams(PNG_COLOR_TYPE_RGB, 16, {{0x12, 0x34, 0xFF, 0xFF, 0, 0, 0, 0, 0x80, 0x00, 0xFF, 0xFF}}), 24,
                   {MakeRgb(0x12, 0xFF, 0), MakeRgb(0, 0x80, 0xFF)}},
        LayoutCase{"Gray16", MakeParams(PNG_COLOR_TYPE_GRAY, 16, {{0xAB, 0xCD, 0x00, 0x10}}), 8, {MakeRgb(0xAB, 0xAB, 0xAB), MakeRgb(0, 0, 0)}},
        // Alpha composited onto white: transparent is paper, half-covered black is mid-gray.
        LayoutCase{"RgbaOntoWhite", MakeParams(PNG_COLOR_TYPE_RGBA, 8, {{10, 20, 30, 0, 0, 0, 0, 128, 200, 100, 50, 255}}, 3), 24,
                   {MakeRgb(255, 255, 255), MakeRgb(127, 127, 127), MakeRgb(200, 100, 50)}},
        LayoutCase{"GrayAlpha", MakeParams(PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{0, 0, 0, 255}}), 8, {MakeRgb(255, 255, 255), MakeRgb(0, 0, 0)}},
        LayoutCase{"PaletteWithTransparency",
                   WithPalette(MakeParams(PNG_COLOR_TYPE_PALETTE, 8, {{0, 1}}), {{255, 0, 0}, {0, 0, 255}}, {0, 255}), 8,
                   {MakeRgb(255, 255, 255), MakeRgb(0, 0, 255)}},
        // 2-bit depths have no bitmap form: gray expands to 8-bit levels, indices to bytes.
        LayoutCase{"Gray2", MakeParams(PNG_COLOR_TYPE_GRAY, 2, {{0b00011011}}, 4), 8,
                   {MakeRgb(0, 0, 0), MakeRgb(85, 85, 85), MakeRgb(170, 170, 170), MakeRgb(255, 255, 255)}},
        LayoutCase{"Palette2", WithPalette(MakeParams(PNG_COLOR_TYPE_PALETTE, 2, {{0b11100100}}, 4), {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}}),
                   8, {MakeRgb(4, 4, 4), MakeRgb(3, 3, 3), MakeRgb(2, 2, 2), MakeRgb(1, 1, 1)}},
        LayoutCase{"Gray1", MakeParams(PNG_COLOR_TYPE_GRAY, 1, {{0b01000000}}, 2), 1, {MakeRgb(0, 0, 0), MakeRgb(255, 255, 255)}},
        LayoutCase{"Gray4", MakeParams(PNG_COLOR_TYPE_GRAY, 4, {{0xF3}}, 2), 4, {MakeRgb(255, 255, 255), MakeRgb(51, 51, 51)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PngDecoderTest, InterlacedPassesLandInTheirRows) {
  const CxImage picture = fixtures::MakeColorImage(13, 9);
  PngSpec params = MakeParams(PNG_COLOR_TYPE_RGB, 8, {}, 13);
  for (uint32_t y = 0; y < 9; ++y) {
    Bytes row;
    for (uint32_t x = 0; x < 13; ++x) {
      const RgbQuad c = fixtures::PixelAt(picture, x, y);
      row.insert(row.end(), {c.red, c.green, c.blue});
    }
    params.rows.push_back(row);
  }
  params.height = 9;
  params.interlaced = true;
  EXPECT_TRUE(fixtures::SameColors(picture, DecodePng(WritePng(params))));
  // With alpha the passes go through a scratch picture first.
  for (Bytes& row : params.rows) {
    Bytes rgba;
    for (size_t i = 0; i < row.size(); i += 3) rgba.insert(rgba.end(), {row[i], row[i + 1], row[i + 2], 255});
    row = rgba;
  }
  params.colorType = PNG_COLOR_TYPE_RGBA;
  EXPECT_TRUE(fixtures::SameColors(picture, DecodePng(WritePng(params))));
}

TEST(PngDecoderTest, ResolutionComesFromThePhysChunk) {
  PngSpec params = MakeParams(PNG_COLOR_TYPE_GRAY, 8, {{1, 2}});
  params.pixelsPerMeter = 11811;
  EXPECT_EQ(DecodePng(WritePng(params)).GetXDPI(), 300);
  params.pixelsPerMeter = 0;
  EXPECT_EQ(DecodePng(WritePng(params)).GetXDPI(), 96);
}

TEST(PngDecoderTest, HugeHeaderFailsBeforeAnyAllocation) {
  PngSpec params = MakeParams(PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3, 4, 5, 6}});
  Bytes bytes = WritePng(params);
  // IHDR: width and height at bytes 16..23, its CRC at 29..32 over type and data.
  const uint8_t size[8] = {0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60};  // 60000 x 60000
  std::copy(std::begin(size), std::end(size), bytes.begin() + 16);
  const uint32_t crc = static_cast<uint32_t>(crc32(0, bytes.data() + 12, 17));
  const uint8_t crcBytes[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
  std::copy(std::begin(crcBytes), std::end(crcBytes), bytes.begin() + 29);
  CxImage image;
  EXPECT_FALSE(image.Decode(bytes, ImageFormat::Png));
  EXPECT_STREQ(image.GetLastError(), "PNG: image too large (60000 x 60000)");
}

TEST(PngEncoderTest, PaletteGrayAndColourRoundTrip) {
  for (const CxImage& picture : {fixtures::MakePaletteImage(9, 4, 1), fixtures::MakePaletteImage(9, 4, 4),
                                 fixtures::MakePaletteImage(9, 4, 8), fixtures::MakeGrayImage(9, 4),
                                 fixtures::MakeColorImage(9, 4)}) {
    SCOPED_TRACE(picture.GetBpp());
    CxImage image;
    ASSERT_TRUE(image.Decode(fixtures::Encoded(picture, ImageFormat::Png), ImageFormat::Png)) << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), picture.GetBpp());
    EXPECT_TRUE(fixtures::SameColors(picture, image));
  }
}

}  // namespace
