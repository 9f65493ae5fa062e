#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "imaging/CodecFixtures.h"
#include "imaging/CxImage.h"
#include "imaging/ImageFixtures.h"

namespace {

using fixtures::ByteWriter;
using fixtures::Bytes;

// A bitmap file around the given DIB parts; the pixel offset points right after them.
Bytes BmpFile(const Bytes& dibHeader, const Bytes& palette, const Bytes& pixels) {
  ByteWriter out;
  const uint32_t offset = static_cast<uint32_t>(14 + dibHeader.size() + palette.size());
  out.Text("BM").LE32(offset + static_cast<uint32_t>(pixels.size())).LE32(0).LE32(offset);
  return out.Append(dibHeader).Append(palette).Append(pixels).Get();
}

Bytes InfoHeader(int32_t width, int32_t height, uint16_t bpp, uint32_t compression, uint32_t colorsUsed = 0,
                 uint16_t planes = 1) {
  ByteWriter h;
  h.LE32(40).LE32(static_cast<uint32_t>(width)).LE32(static_cast<uint32_t>(height)).LE16(planes).LE16(bpp);
  h.LE32(compression).LE32(0).LE32(11811).LE32(11811).LE32(colorsUsed).LE32(0);
  return h.Get();
}

// Palette of n entries: entry i = (i * 16, 255 - i * 16, i), stored blue, green, red, 0.
Bytes Palette(uint32_t n) {
  ByteWriter p;
  for (uint32_t i = 0; i < n; ++i) p.U8(i).U8(255 - i * 16).U8(i * 16).U8(0);
  return p.Get();
}
RgbQuad Entry(uint32_t i) { return MakeRgb(static_cast<uint8_t>(i * 16), static_cast<uint8_t>(255 - i * 16), static_cast<uint8_t>(i)); }

CxImage DecodeBmp(const Bytes& bytes) {
  CxImage image;
  EXPECT_TRUE(image.Decode(bytes, ImageFormat::Bmp)) << image.GetLastError();
  return image;
}

TEST(BmpDecoderTest, Rle8RunsLiteralsDeltaAndEndOfLine) {
  // 6 x 3, bottom-up. Row 0: run of 3 x 1, literal 2,3,4 (odd count: padded), end of line.
  // Row 1: delta (2, 1) to row 2 x 2, run of 2 x 5, end of bitmap. Row 1 stays index 0.
  const Bytes data = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 2, 5, 0, 1};
  const CxImage image = DecodeBmp(BmpFile(InfoHeader(6, 3, 8, 1, 6), Palette(6), data));
  ASSERT_EQ(image.GetBpp(), 8u);
  const uint32_t bottom[6] = {1, 1, 1, 2, 3, 4};
  for (uint32_t x = 0; x < 6; ++x) EXPECT_EQ(fixtures::IndexAt(image, x, 2), bottom[x]) << x;
  for (uint32_t x = 0; x < 6; ++x) EXPECT_EQ(fixtures::IndexAt(image, x, 1), 0u) << x;
  const uint32_t top[6] = {0, 0, 5, 5, 0, 0};
  for (uint32_t x = 0; x < 6; ++x) EXPECT_EQ(fixtures::IndexAt(image, x, 0), top[x]) << x;
  EXPECT_EQ(image.GetPaletteColor(5), Entry(5));
  EXPECT_EQ(image.GetXDPI(), 300);
}

TEST(BmpDecoderTest, Rle4AlternatesNibbles) {
  // 5 x 1: run of 5 alternating 1 and 2, then end of bitmap.
  const Bytes data = {5, 0x12, 0, 1};
  const CxImage image = DecodeBmp(BmpFile(InfoHeader(5, 1, 4, 2), Palette(16), data));
  const uint32_t expected[5] = {1, 2, 1, 2, 1};
  for (uint32_t x = 0; x < 5; ++x) EXPECT_EQ(fixtures::IndexAt(image, x, 0), expected[x]) << x;
}

TEST(BmpDecoderTest, RleRunsPastTheImageAreClippedAndTruncationFails) {
  // A run longer than the row, a delta far outside, then more runs: nothing is written outside.
  const Bytes wild = {255, 7, 0, 2, 255, 255, 200, 3, 0, 0, 0, 2, 0, 1, 9, 9, 0, 1};
  const CxImage image = DecodeBmp(BmpFile(InfoHeader(4, 2, 8, 1, 16), Palette(16), wild));
  for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(fixtures::IndexAt(image, x, 1), 7u);
  CxImage cut;
  EXPECT_FALSE(cut.Decode(BmpFile(InfoHeader(4, 2, 8, 1, 16), Palette(16), {4, 7, 0, 0, 2}), ImageFormat::Bmp));
  EXPECT_STREQ(cut.GetLastError(), "BMP: RLE data truncated");
}

TEST(BmpDecoderTest, TopDownRowsAreStoredBottomUp) {
  const Bytes rows = {1, 2, 0, 0, 3, 4, 0, 0};  // 2 x 2, top row first
  const CxImage image = DecodeBmp(BmpFile(InfoHeader(2, -2, 8, 0, 16), Palette(16), rows));
  EXPECT_EQ(fixtures::IndexAt(image, 0, 0), 1u);
  EXPECT_EQ(fixtures::IndexAt(image, 1, 1), 4u);
}

struct MaskedCase {
  const char* name;
  uint16_t bpp;
  uint32_t compression;
  Bytes masks;      // after the info header (bit fields only)
  Bytes pixel;      // one pixel, then row padding
  RgbQuad expected;
};

class BmpMaskedTest : public ::testing::TestWithParam<MaskedCase> {};

TEST_P(BmpMaskedTest, PixelsBecome24Bit) {
  const MaskedCase& c = GetParam();
  Bytes header = InfoHeader(1, 1, c.bpp, c.compression);
  header.insert(header.end(), c.masks.begin(), c.masks.end());
  Bytes pixel = c.pixel;
  pixel.resize(4, 0);
  ByteWriter file;
  file.Text("BM").LE32(0).LE32(0).LE32(static_cast<uint32_t>(14 + header.size()));
  const CxImage image = DecodeBmp(file.Append(header).Append(pixel).Get());
  ASSERT_EQ(image.GetBpp(), 24u);
  EXPECT_EQ(fixtures::PixelAt(image, 0, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, BmpMaskedTest,
    ::testing::Values(
        // 5-5-5: red 31, green 0, blue 16 -> 255, 0, 132
        MaskedCase{"Rgb555", 16, 0, {}, {0x10, 0x7C}, MakeRgb(255, 0, 132)},
        // 5-6-5 bit fields: red 0, green 63, blue 31
        MaskedCase{"BitFields565", 16, 3, ByteWriter().LE32(0xF800).LE32(0x07E0).LE32(0x001F).Get(), {0xFF, 0x07},
                   MakeRgb(0, 255, 255)},
        MaskedCase{"Bgrx32", 32, 0, {}, {10, 20, 30, 99}, MakeRgb(30, 20, 10)},
        MaskedCase{"BitFields32Rgba", 32, 3, ByteWriter().LE32(0xFF).LE32(0xFF00).LE32(0xFF0000).Get(), {10, 20, 30, 0},
                   MakeRgb(10, 20, 30)}),
    [](const auto& info) { return std::string(info.param.name); });

// Bit fields behind each header size that carries them: with a plain 40-byte header the masks
// follow it; from 52 bytes on they are part of it, at offset 40 after the colours-important field.
struct BitFieldsCase {
  const char* name;
  uint32_t headerSize;
  uint16_t bpp;
};

constexpr BitFieldsCase kBitFieldsCases[] = {
    {"Info40Rgb565", 40, 16}, {"Info40Argb32", 40, 32}, {"V4Rgb565", 108, 16},
    {"V4Argb32", 108, 32},    {"V5Rgb565", 124, 16},    {"V5Argb32", 124, 32},
};

// Red, green, blue in the top row; white, black and a mixed colour below, all exact in 5-6-5.
constexpr RgbQuad kBitFieldsPicture[2][3] = {{MakeRgb(255, 0, 0), MakeRgb(0, 255, 0), MakeRgb(0, 0, 255)},
                                             {MakeRgb(255, 255, 255), MakeRgb(0, 0, 0), MakeRgb(255, 0, 255)}};

Bytes BitFieldsFile(const BitFieldsCase& c) {
  const bool wide = c.bpp == 32;
  const uint32_t masks[4] = {wide ? 0x00FF0000u : 0xF800u, wide ? 0x0000FF00u : 0x07E0u, wide ? 0x000000FFu : 0x001Fu,
                             wide ? 0xFF000000u : 0u};
  ByteWriter header;
  header.LE32(c.headerSize).LE32(3).LE32(2).LE16(1).LE16(c.bpp).LE32(3).LE32(0).LE32(2835).LE32(2835).LE32(0);
  header.LE32(7);  // colours important: a value no mask could have
  if (c.headerSize == 40) {
    header.LE32(masks[0]).LE32(masks[1]).LE32(masks[2]);
  } else {
    for (uint32_t mask : masks) header.LE32(mask);
    header.Text("BGRs").Fill(c.headerSize - header.Size(), 0);
  }
  ByteWriter pixels;
  for (int row = 1; row >= 0; --row) {  // bottom-up
    for (const RgbQuad& color : kBitFieldsPicture[row]) {
      if (wide) {
        pixels.U8(color.blue).U8(color.green).U8(color.red).U8(0xFF);
      } else {
        pixels.LE16(((color.red >> 3) << 11) | ((color.green >> 2) << 5) | (color.blue >> 3));
      }
    }
    pixels.Fill(wide ? 0 : 2, 0);  // rows end on four bytes
  }
  return BmpFile(header.Get(), {}, pixels.Get());
}

class BmpBitFieldsTest : public ::testing::TestWithParam<BitFieldsCase> {};

TEST_P(BmpBitFieldsTest, MasksAreReadWhereTheHeaderPutsThem) {
  const CxImage image = DecodeBmp(BitFieldsFile(GetParam()));
  ASSERT_EQ(image.GetBpp(), 24u);
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 3; ++x) EXPECT_EQ(fixtures::PixelAt(image, x, y), kBitFieldsPicture[y][x]) << x << ", " << y;
}

INSTANTIATE_TEST_SUITE_P(HeaderSizes, BmpBitFieldsTest, ::testing::ValuesIn(kBitFieldsCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Bitmaps as ImageMagick writes them (124-byte header and bit fields), compared with its own
// reading of the same file. It widens short channels by shifting, we scale them exactly, so
// channels of n bits may differ by up to 2^(8-n).
struct MagickBmpCase {
  const char* name;
  const char* options;
  int tolerance;
};

constexpr MagickBmpCase kMagickBmpCases[] = {
    {"TrueColorAlpha32", "-alpha on -type TrueColorAlpha", 0},
    {"Rgb565", "-define bmp:subtype=RGB565", 8},
    {"Argb4444", "-alpha on -define bmp:subtype=ARGB4444", 16},
};

class BmpMagickTest : public ::testing::TestWithParam<MagickBmpCase> {};

TEST_P(BmpMagickTest, PixelsMatchImageMagick) {
  const fixtures::TempFile file({}, ".bmp");
  fixtures::RunConvert(std::string("rose: ") + GetParam().options + " BMP:" + file.Path());
  CxImage image;
  ASSERT_TRUE(image.LoadFile(file.Path(), ImageFormat::Bmp)) << image.GetLastError();
  EXPECT_TRUE(fixtures::SameAsRgb(fixtures::MagickRgb(file.Path()), 70, 46, image, GetParam().tolerance));
}

INSTANTIATE_TEST_SUITE_P(Writers, BmpMagickTest, ::testing::ValuesIn(kMagickBmpCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BmpDecoderTest, Os2CoreHeaderWithThreeBytePalette) {
  ByteWriter header;
  header.LE32(12).LE16(2).LE16(1).LE16(1).LE16(8);
  ByteWriter palette;
  for (uint32_t i = 0; i < 256; ++i) palette.U8(i).U8(0).U8(255 - i);
  const CxImage image = DecodeBmp(BmpFile(header.Get(), palette.Get(), {7, 200, 0, 0}));
  EXPECT_EQ(fixtures::PixelAt(image, 0, 0), MakeRgb(248, 0, 7));
  EXPECT_EQ(fixtures::PixelAt(image, 1, 0), MakeRgb(55, 0, 200));
}

struct RejectCase {
  const char* name;
  Bytes file;
  const char* error;
};

Bytes Good8Bit() { return BmpFile(InfoHeader(2, 2, 8, 0, 4), Palette(4), Bytes(8, 1)); }
Bytes WithPixelOffset(Bytes file, uint32_t offset) {
  StoreLE32(file.data() + 10, offset);
  return file;
}

class BmpRejectTest : public ::testing::TestWithParam<RejectCase> {};

TEST_P(BmpRejectTest, FailsWithAClearText) {
  CxImage image;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(image.Decode(GetParam().file, ImageFormat::Bmp));
  EXPECT_EQ(std::string(image.GetLastError()), GetParam().error);
  EXPECT_FALSE(image.IsValid());
  // No decoder allocates for what a header merely claims.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

INSTANTIATE_TEST_SUITE_P(
    BadHeaders, BmpRejectTest,
    ::testing::Values(
        RejectCase{"NegativeWidth", BmpFile(InfoHeader(-2, 2, 8, 0), Palette(256), Bytes(8)), "BMP: width must be positive (-2)"},
        RejectCase{"MinimumHeight", BmpFile(InfoHeader(2, INT32_MIN, 8, 0), Palette(256), Bytes(8)), "BMP: invalid height -2147483648"},
        RejectCase{"TwoPlanes", BmpFile(InfoHeader(2, 2, 8, 0, 0, 2), Palette(256), Bytes(8)), "BMP: planes must be 1 (2)"},
        RejectCase{"TwoBitPixels", BmpFile(InfoHeader(2, 2, 2, 0), Palette(4), Bytes(8)), "BMP: unsupported bit depth 2"},
        RejectCase{"OffsetPastTheEnd", WithPixelOffset(Good8Bit(), 5000), "BMP: pixel data offset outside the file"},
        RejectCase{"PaletteOutsideTheFile", BmpFile(InfoHeader(2, 2, 8, 0, 200), Palette(4), {}), "BMP: palette outside the file"},
        RejectCase{"PixelsTruncated", BmpFile(InfoHeader(2, 2, 8, 0, 4), Palette(4), Bytes(5)), "BMP: pixel data truncated"},
        RejectCase{"JpegInside", BmpFile(InfoHeader(2, 2, 24, 4), {}, Bytes(16)), "BMP: JPEG-compressed bitmaps are not supported"},
        RejectCase{"Rle8With24Bit", BmpFile(InfoHeader(2, 2, 24, 1), {}, Bytes(16)), "BMP: RLE8 needs 8-bit pixels, not 24"},
        RejectCase{"TopDownRle", BmpFile(InfoHeader(2, -2, 8, 1, 4), Palette(4), Bytes(16)), "BMP: RLE bitmaps cannot be top-down"},
        RejectCase{"HugeClaim", BmpFile(InfoHeader(100000, 100000, 24, 0), {}, Bytes(64)), "BMP: image too large (100000 x 100000)"},
        // RLE ends where it likes: two bytes would make 80 MB of pixels.
        RejectCase{"RleBomb", BmpFile(InfoHeader(8000, 10000, 8, 1, 2), Palette(2), {0, 1}),
                   "BMP: an image of 8000 x 10000 cannot come from 64 bytes"},
        RejectCase{"MaskWithGaps", BmpFile(ByteWriter().Append(InfoHeader(1, 1, 16, 3)).LE32(0x5).LE32(0x2).LE32(0x8).Get(), {}, Bytes(4)),
                   "BMP: bit mask with gaps (0x00000005)"},
        RejectCase{"UnknownHeaderSize", BmpFile(ByteWriter().LE32(77).Fill(73, 0).Get(), {}, Bytes(4)), "BMP: unknown header size 77"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BmpEncoderTest, FileIsTheBlockAfterAFileHeader) {
  for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
    SCOPED_TRACE(bpp);
    CxImage image = bpp == 24 ? fixtures::MakeColorImage(7, 5) : fixtures::MakePaletteImage(7, 5, bpp);
    image.SetXDPI(200);
    const Bytes file = fixtures::Encoded(image, ImageFormat::Bmp);
    ASSERT_EQ(file.size(), 14 + image.GetSize());
    EXPECT_EQ(LoadLE32(file.data() + 2), file.size());
    EXPECT_EQ(LoadLE32(file.data() + 10), 14 + 40 + 4 * image.GetNumColors());
    EXPECT_EQ(0, std::memcmp(file.data() + 14, image.GetDIB(), image.GetSize()));
    CxImage back;
    ASSERT_TRUE(back.Decode(file, ImageFormat::Bmp)) << back.GetLastError();
    ASSERT_EQ(back.GetSize(), image.GetSize());
    EXPECT_EQ(0, std::memcmp(back.GetDIB(), image.GetDIB(), image.GetSize()));
  }
}

}  // namespace
