#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/CodecFixtures.h"
#include "imaging/CxImage.h"
#include "imaging/ImageFixtures.h"

namespace {

using fixtures::Bytes;

::testing::AssertionResult Near(RgbQuad actual, RgbQuad expected, int tolerance) {
  if (std::abs(actual.red - expected.red) <= tolerance && std::abs(actual.green - expected.green) <= tolerance &&
      std::abs(actual.blue - expected.blue) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << int(actual.red) << ", " << int(actual.green) << ", " << int(actual.blue)
                                       << ") instead of (" << int(expected.red) << ", " << int(expected.green) << ", "
                                       << int(expected.blue) << ")";
}

TEST(JpegDecoderTest, AdobeCmykBecomesRgb) {
  // Four 8 x 8 blocks of pure inks: cyan, magenta + yellow, black, and no ink at all.
  const uint8_t inks[4][4] = {{255, 0, 0, 0}, {0, 255, 255, 0}, {0, 0, 0, 255}, {0, 0, 0, 0}};
  const RgbQuad expected[4] = {MakeRgb(0, 255, 255), MakeRgb(255, 0, 0), MakeRgb(0, 0, 0), MakeRgb(255, 255, 255)};
  std::vector<uint8_t> pixels;
  for (uint32_t y = 0; y < 8; ++y)
    for (uint32_t x = 0; x < 32; ++x) pixels.insert(pixels.end(), inks[x / 8], inks[x / 8] + 4);
  CxImage image;
  ASSERT_TRUE(image.Decode(fixtures::WriteCmykJpeg(32, 8, pixels), ImageFormat::Jpeg)) << image.GetLastError();
  ASSERT_EQ(image.GetBpp(), 24u);
  for (uint32_t block = 0; block < 4; ++block)
    EXPECT_TRUE(Near(fixtures::PixelAt(image, block * 8 + 4, 4), expected[block], 3)) << "block " << block;
}

TEST(JpegDecoderTest, GrayBecomesEightBitWithGrayPalette) {
  CxImage image;
  ASSERT_TRUE(image.Decode(fixtures::Encoded(fixtures::MakeGrayImage(16, 16), ImageFormat::Jpeg), ImageFormat::Jpeg));
  EXPECT_EQ(image.GetBpp(), 8u);
  EXPECT_EQ(image.GetPaletteColor(200), MakeRgb(200, 200, 200));
}

TEST(JpegDecoderTest, DensityGivesTheResolution) {
  CxImage page = fixtures::MakeTestPage(40, 30, 300);
  page.SetYDPI(150);
  CxImage image;
  ASSERT_TRUE(image.Decode(fixtures::Encoded(page, ImageFormat::Jpeg), ImageFormat::Jpeg));
  EXPECT_EQ(image.GetXDPI(), 300);
  EXPECT_EQ(image.GetYDPI(), 150);
}

TEST(JpegDecoderTest, DamageIsAnErrorNotAnExit) {
  const Bytes good = fixtures::Encoded(fixtures::MakeColorImage(64, 64), ImageFormat::Jpeg);
  // Cut in the middle of the scan: libjpeg would pad with gray and warn.
  CxImage cut;
  EXPECT_FALSE(cut.Decode(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() * 2 / 3)), ImageFormat::Jpeg));
  EXPECT_STREQ(cut.GetLastError(), "JPEG: file truncated");
  // A frame header with zero width: libjpeg's error path, which by default ends the process.
  Bytes bad = good;
  for (size_t i = 2; i + 9 < bad.size(); ++i)
    if (bad[i] == 0xFF && bad[i + 1] == 0xC0) {
      bad[i + 7] = 0;
      bad[i + 8] = 0;
      break;
    }
  CxImage broken;
  EXPECT_FALSE(broken.Decode(bad, ImageFormat::Jpeg));
  EXPECT_EQ(std::string(broken.GetLastError()).rfind("JPEG: ", 0), 0u) << broken.GetLastError();
}

TEST(JpegEncoderTest, AcceptsColourAndGrayPalettesOnly) {
  CxImage gray4;
  gray4.Create(8, 8, 4);
  gray4.SetGrayPalette();
  std::vector<uint8_t> out;
  EXPECT_TRUE(gray4.Encode(out, ImageFormat::Jpeg)) << gray4.GetLastError();
  CxImage decoded;
  ASSERT_TRUE(decoded.Decode(out, ImageFormat::Jpeg));
  EXPECT_EQ(decoded.GetBpp(), 8u);
  const CxImage bilevel = fixtures::MakeBilevelImage(8, 8);
  EXPECT_TRUE(bilevel.Encode(out, ImageFormat::Jpeg));

  const CxImage colors = fixtures::MakePaletteImage(8, 8, 8);
  EXPECT_FALSE(colors.Encode(out, ImageFormat::Jpeg));
  EXPECT_STREQ(colors.GetLastError(), "JPEG can save only RGB or GreyScale images");
}

}  // namespace
