#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "imaging/CodecFixtures.h"
#include "imaging/CxImage.h"
#include "imaging/ImageFixtures.h"
#include "imaging/codecs/TiffEncoder.h"
#include "imaging/codecs/TiffStream.h"

namespace {

using fixtures::Bytes;
using imaging::TiffCompression;
using imaging::TiffPage;

Bytes EncodePages(const std::vector<TiffPage>& pages) {
  auto encoded = imaging::EncodeTiff(pages);
  if (encoded.IsError()) ADD_FAILURE() << encoded.ErrorText();
  return encoded.IsError() ? Bytes{} : encoded.Value();
}

// A TIFF written field by field with libtiff, for layouts our encoder does not produce.
Bytes WriteRawTiff(const std::function<void(TIFF*)>& write) {
  imaging::TiffStream stream;
  TIFF* tiff = stream.Open();
  if (!tiff) return {};
  write(tiff);
  TIFFClose(tiff);
  return stream.Output();
}

void SetBasics(TIFF* tiff, uint32_t width, uint32_t height, uint16_t samples, uint16_t bits, uint16_t photometric) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
}

CxImage Decode(const Bytes& bytes, int32_t frame = 0) {
  CxImage image;
  image.SetFrame(frame);
  EXPECT_TRUE(image.Decode(bytes, ImageFormat::Tiff)) << image.GetLastError();
  return image;
}

TEST(TiffDecoderTest, MultipageSelectsEachPage) {
  const CxImage fax = fixtures::MakeBilevelImage(40, 30);
  const CxImage photo = fixtures::MakeColorImage(20, 10);
  const CxImage gray = fixtures::MakeGrayImage(8, 8);
  const Bytes file = EncodePages({{&fax, TiffCompression::CcittG4}, {&photo, TiffCompression::Lzw}, {&gray, TiffCompression::Lzw}});
  const CxImage* pages[] = {&fax, &photo, &gray};
  const uint32_t depths[] = {1, 24, 8};
  for (int32_t page = 0; page < 3; ++page) {
    SCOPED_TRACE(page);
    const CxImage image = Decode(file, page);
    EXPECT_EQ(image.GetNumFrames(), 3);
    EXPECT_EQ(image.GetFrame(), page);
    EXPECT_EQ(image.GetBpp(), depths[page]);
    EXPECT_TRUE(fixtures::SameColors(*pages[page], image));
  }
  CxImage missing;
  missing.SetFrame(3);
  EXPECT_FALSE(missing.Decode(file, ImageFormat::Tiff));
  EXPECT_STREQ(missing.GetLastError(), "Error: page not present in TIFF file");
  EXPECT_EQ(missing.GetNumFrames(), 3);
}

struct CompressionCase {
  const char* name;
  TiffCompression compression;
  bool bilevel;
  int tolerance;
};

CxImage Smooth(uint32_t width, uint32_t height) {
  CxImage image;
  image.Create(width, height, 24);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      fixtures::SetColor(image, x, y, MakeRgb(static_cast<uint8_t>(40 + 4 * x), static_cast<uint8_t>(200 - 3 * y), 90));
  return image;
}

class TiffCompressionTest : public ::testing::TestWithParam<CompressionCase> {};

TEST_P(TiffCompressionTest, RoundTrips) {
  const CompressionCase& c = GetParam();
  // JPEG gets a smooth picture: sharp colour edges blur in its subsampled chroma.
  const CxImage picture = c.bilevel ? fixtures::MakeBilevelImage(45, 37) : c.tolerance ? Smooth(48, 40) : fixtures::MakeColorImage(45, 37);
  const CxImage image = Decode(EncodePages({{&picture, c.compression}}));
  EXPECT_EQ(image.GetBpp(), picture.GetBpp());
  EXPECT_TRUE(fixtures::SameColors(picture, image, c.tolerance));
}

INSTANTIATE_TEST_SUITE_P(Compressions, TiffCompressionTest,
                         ::testing::Values(CompressionCase{"None", TiffCompression::None, false, 0},
                                           CompressionCase{"Lzw", TiffCompression::Lzw, false, 0},
                                           CompressionCase{"PackBits", TiffCompression::PackBits, false, 0},
                                           CompressionCase{"Deflate", TiffCompression::Deflate, false, 0},
                                           CompressionCase{"Jpeg", TiffCompression::Jpeg, false, 10},
                                           CompressionCase{"BilevelPackBits", TiffCompression::PackBits, true, 0},
                                           CompressionCase{"CcittG3", TiffCompression::CcittG3, true, 0},
                                           CompressionCase{"CcittG4", TiffCompression::CcittG4, true, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TiffDecoderTest, WhiteIsZeroPagesKeepTheirColours) {
  // Bilevel: the palette says which value is white, the bits stay as stored.
  CxImage fax = fixtures::MakeBilevelImage(24, 9);
  fax.SetPaletteColor(0, MakeRgb(255, 255, 255));
  fax.SetPaletteColor(1, MakeRgb(0, 0, 0));
  const CxImage image = Decode(EncodePages({{&fax, TiffCompression::CcittG4}}));
  EXPECT_TRUE(fixtures::SameColors(fax, image));
  EXPECT_EQ(image.GetPaletteColor(0), MakeRgb(255, 255, 255));

  // 8-bit: samples are inverted so that the palette stays the gray ramp.
  const Bytes gray = WriteRawTiff([](TIFF* tiff) {
    SetBasics(tiff, 3, 1, 1, 8, PHOTOMETRIC_MINISWHITE);
    uint8_t row[3] = {0, 100, 255};
    TIFFWriteScanline(tiff, row, 0, 0);
  });
  const CxImage inverted = Decode(gray);
  EXPECT_EQ(fixtures::PixelAt(inverted, 0, 0), MakeRgb(255, 255, 255));
  EXPECT_EQ(fixtures::PixelAt(inverted, 1, 0), MakeRgb(155, 155, 155));
  EXPECT_EQ(fixtures::IndexAt(inverted, 2, 0), 0u);
}

struct TileCase {
  const char* name;
  uint16_t compression;
  int tolerance;
};

class TiffTileTest : public ::testing::TestWithParam<TileCase> {};

TEST_P(TiffTileTest, TilesAreAssembled) {
  const TileCase& c = GetParam();
  // 3 x 2 tiles of 16 x 16, the last ones partial. JPEG gets the smooth picture.
  const CxImage picture = c.tolerance ? Smooth(40, 20) : fixtures::MakeColorImage(40, 20);
  const Bytes file = WriteRawTiff([&](TIFF* tiff) {
    const bool jpeg = c.compression == COMPRESSION_JPEG;
    SetBasics(tiff, 40, 20, 3, 8, jpeg ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, c.compression);
    // libjpeg takes RGB and stores YCbCr tiles.
    if (jpeg) TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    std::vector<uint8_t> tile(16 * 16 * 3);
    for (uint32_t ty = 0; ty < 20; ty += 16)
      for (uint32_t tx = 0; tx < 40; tx += 16) {
        // Beyond the picture the tile repeats its edge, as encoders do: padding of another
        // colour would bleed into the edge of a JPEG tile.
        for (uint32_t y = 0; y < 16; ++y)
          for (uint32_t x = 0; x < 16; ++x) {
            const RgbQuad color = fixtures::PixelAt(picture, std::min(tx + x, 39u), std::min(ty + y, 19u));
            uint8_t* p = tile.data() + (y * 16 + x) * 3;
            p[0] = color.red, p[1] = color.green, p[2] = color.blue;
          }
        TIFFWriteTile(tiff, tile.data(), tx, ty, 0, 0);
      }
  });
  EXPECT_TRUE(fixtures::SameColors(picture, Decode(file), c.tolerance));
}

INSTANTIATE_TEST_SUITE_P(Compressions, TiffTileTest,
                         ::testing::Values(TileCase{"Lzw", COMPRESSION_LZW, 0}, TileCase{"Jpeg", COMPRESSION_JPEG, 10}),
                         [](const auto& info) { return std::string(info.param.name); });

struct RawLayoutCase {
  const char* name;
  uint16_t samples;
  uint16_t bits;
  uint16_t photometric;
  Bytes row;  // two pixels
  uint32_t bpp;
  RgbQuad first;
  RgbQuad second;
};

class TiffLayoutTest : public ::testing::TestWithParam<RawLayoutCase> {};

TEST_P(TiffLayoutTest, DecodesToTheExpectedColours) {
  const RawLayoutCase& c = GetParam();
  const Bytes file = WriteRawTiff([&](TIFF* tiff) {
    SetBasics(tiff, 2, 1, c.samples, c.bits, c.photometric);
    if (c.samples == 4 && c.photometric == PHOTOMETRIC_RGB) {
      const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
      TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (c.photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(tiff, TIFFTAG_INKSET, INKSET_CMYK);
    Bytes row = c.row;
    TIFFWriteScanline(tiff, row.data(), 0, 0);
  });
  const CxImage image = Decode(file);
  EXPECT_EQ(image.GetBpp(), c.bpp);
  EXPECT_EQ(fixtures::PixelAt(image, 0, 0), c.first);
  EXPECT_EQ(fixtures::PixelAt(image, 1, 0), c.second);
}

Bytes HostOrder16(std::initializer_list<uint16_t> values) {
  Bytes out;
  for (uint16_t v : values) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    out.insert(out.end(), p, p + 2);
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TiffLayoutTest,
    ::testing::Values(
        RawLayoutCase{"Gray16", 1, 16, PHOTOMETRIC_MINISBLACK, HostOrder16({0xABCD, 0x0100}), 8, MakeRgb(0xAB, 0xAB, 0xAB), MakeRgb(1, 1, 1)},
        RawLayoutCase{"Rgb16", 3, 16, PHOTOMETRIC_RGB, HostOrder16({0xFF00, 0x1200, 0x0000, 0x0000, 0x8000, 0xFFFF}), 24,
                      MakeRgb(0xFF, 0x12, 0), MakeRgb(0, 0x80, 0xFF)},
        RawLayoutCase{"Gray2", 1, 2, PHOTOMETRIC_MINISBLACK, {0b11010000}, 8, MakeRgb(255, 255, 255), MakeRgb(85, 85, 85)},
        // Inks: cyan, then black.
        RawLayoutCase{"Cmyk", 4, 8, PHOTOMETRIC_SEPARATED, {255, 0, 0, 0, 0, 0, 0, 255}, 24, MakeRgb(0, 255, 255), MakeRgb(0, 0, 0)},
        // Transparent red reads as white paper, opaque blue stays blue.
        RawLayoutCase{"RgbaOntoWhite", 4, 8, PHOTOMETRIC_RGB, {255, 0, 0, 0, 0, 0, 255, 255}, 24, MakeRgb(255, 255, 255), MakeRgb(0, 0, 255)}),
    [](const auto& info) { return std::string(info.param.name); });

// Bilevel pages with an unassociated alpha sample, as ImageMagick writes thresholded pictures
// that had transparency. The alpha is dropped and the page stays 1-bit.
struct BilevelAlphaCase {
  const char* name;
  uint16_t compression;
  uint16_t photometric;
};

constexpr BilevelAlphaCase kBilevelAlphaCases[] = {
    {"NoneBlackIsZero", COMPRESSION_NONE, PHOTOMETRIC_MINISBLACK},
    {"LzwWhiteIsZero", COMPRESSION_LZW, PHOTOMETRIC_MINISWHITE},
    {"PackBitsBlackIsZero", COMPRESSION_PACKBITS, PHOTOMETRIC_MINISBLACK},
    {"CcittG3", COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE},
    {"CcittG4", COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE},
};

bool IsFaxCompression(uint16_t compression) {
  return compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4;
}

class TiffBilevelAlphaTest : public ::testing::TestWithParam<BilevelAlphaCase> {};

TEST_P(TiffBilevelAlphaTest, AlphaIsDroppedAndThePageShown) {
  const BilevelAlphaCase& c = GetParam();
  const CxImage page = fixtures::MakeBilevelImage(45, 13);
  const auto white = [&](uint32_t x, uint32_t y) { return fixtures::PixelAt(page, x, y).red != 0; };
  const Bytes file = WriteRawTiff([&](TIFF* tiff) {
    SetBasics(tiff, 45, 13, 2, 1, c.photometric);
    const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, c.compression);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 5);
    Bytes row(static_cast<size_t>(TIFFScanlineSize(tiff)));
    for (uint32_t y = 0; y < 13; ++y) {
      std::fill(row.begin(), row.end(), 0);
      for (uint32_t x = 0; x < 45; ++x) {
        const bool one = white(x, y) == (c.photometric == PHOTOMETRIC_MINISBLACK);
        // The fax codec codes ImageWidth pixels of each row: the page, one bit a pixel. The
        // other codecs take the samples interleaved: page bit, then alpha (opaque, 1).
        const size_t bit = IsFaxCompression(c.compression) ? x : 2 * size_t{x};
        if (one) row[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
        if (!IsFaxCompression(c.compression)) row[(bit + 1) / 8] |= static_cast<uint8_t>(0x80 >> ((bit + 1) % 8));
      }
      TIFFWriteScanline(tiff, row.data(), y, 0);
    }
  });
  const CxImage image = Decode(file);
  EXPECT_EQ(image.GetBpp(), 1u);
  EXPECT_TRUE(fixtures::SameColors(page, image));
}

INSTANTIATE_TEST_SUITE_P(Compressions, TiffBilevelAlphaTest, ::testing::ValuesIn(kBilevelAlphaCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ImageMagick's own files of that kind are read, not skipped. Its pixels cannot serve as the
// reference here: ImageMagick 6 stores these pages with the polarity opposite to their
// photometric tag, and its fax rows hold only the first half of each interleaved row (its own
// reader shows half a page).
TEST(TiffDecoderTest, ImageMagicksThresholdedPagesWithAlphaAreRead) {
  // A gray picture whose left quarter is transparent, through a PNG as a user's file would be.
  const fixtures::TempFile picture({}, ".png");
  fixtures::RunConvert("-size 40x30 gradient: \\( -size 40x30 xc:white -fill black -draw 'rectangle 0,0 9,29' \\) "
                       "-alpha off -compose CopyOpacity -composite " + picture.Path());
  for (const char* compression : {"Group4", "Fax", "None -depth 1"}) {
    SCOPED_TRACE(compression);
    const Bytes tiff = fixtures::RunConvert(picture.Path() + " -threshold 50% -compress " + compression + " tiff:-");
    ASSERT_GT(tiff.size(), 8u);
    CxImage image;
    ASSERT_TRUE(image.Decode(tiff, ImageFormat::Tiff)) << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(image.GetWidth(), 40u);
    EXPECT_EQ(image.GetHeight(), 30u);
  }
}

TEST(TiffDecoderTest, ResolutionInCentimetres) {
  const Bytes file = WriteRawTiff([](TIFF* tiff) {
    SetBasics(tiff, 1, 1, 1, 8, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 118.11f);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 59.055f);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
    uint8_t row[1] = {7};
    TIFFWriteScanline(tiff, row, 0, 0);
  });
  const CxImage image = Decode(file);
  EXPECT_EQ(image.GetXDPI(), 300);
  EXPECT_EQ(image.GetYDPI(), 150);
}

TEST(TiffDecoderTest, DamageIsReportedAndNothingReachesStderr) {
  const CxImage photo = fixtures::MakeColorImage(30, 30);
  Bytes file = EncodePages({{&photo, TiffCompression::Lzw}});
  // Scribble over the compressed strips (they sit between the header and the directory).
  for (size_t i = 16; i < file.size() / 2; i += 3) file[i] = static_cast<uint8_t>(i * 7);
  testing::internal::CaptureStderr();
  CxImage image;
  const bool decoded = image.Decode(file, ImageFormat::Tiff);
  Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() - 20));
  CxImage truncated;
  const bool cutDecoded = truncated.Decode(cut, ImageFormat::Tiff);
  const std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(decoded);
  EXPECT_EQ(std::string(image.GetLastError()).rfind("TIFF: ", 0), 0u) << image.GetLastError();
  EXPECT_FALSE(cutDecoded);
  EXPECT_STRNE(truncated.GetLastError(), "");
  EXPECT_EQ(printed, "");
}

TEST(TiffEncoderTest, CcittNeedsABilevelImage) {
  const CxImage photo = fixtures::MakeColorImage(4, 4);
  auto encoded = imaging::EncodeTiff(std::vector<TiffPage>{{&photo, TiffCompression::CcittG4}});
  ASSERT_TRUE(encoded.IsError());
  EXPECT_EQ(encoded.ErrorText(), "TIFF: CCITT compression needs a black-and-white image");
}

}  // namespace
