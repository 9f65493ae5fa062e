// Loading files with and without a format id, and saving them.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <cstring>
#include <string>
#include <utility>

#include "imaging/CodecFixtures.h"
#include "imaging/CxImage.h"
#include "imaging/ImageFixtures.h"
#include "imaging/codecs/TiffEncoder.h"

namespace {

using fixtures::Bytes;
using fixtures::TempFile;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(LoadFileTest, WrongIdFallsBackToDetection) {
  const CxImage picture = fixtures::MakeColorImage(9, 6);
  const TempFile png(fixtures::Encoded(picture, ImageFormat::Png), ".bmp");
  CxImage image;
  ASSERT_TRUE(image.LoadFile(png.Path(), ImageFormat::Bmp)) << image.GetLastError();
  EXPECT_EQ(image.GetType(), ImageFormat::Png);
  EXPECT_TRUE(fixtures::SameColors(picture, image));
  // JBIG has no decoder: the id is passed over and detection decides.
  CxImage viaJbig;
  EXPECT_TRUE(viaJbig.LoadFile(png.Path(), ImageFormat::Jbig));
}

struct FailureCase {
  const char* name;
  Bytes content;
  uint32_t format;
  const char* error;
};

class LoadFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(LoadFailureTest, KeepsTheRightErrorAndLeavesTheImageEmpty) {
  const TempFile file(GetParam().content);
  CxImage image = fixtures::MakeGrayImage(4, 4);
  image.SetNumFrames(5);  // from an earlier file
  EXPECT_FALSE(image.LoadFile(file.Path(), GetParam().format));
  EXPECT_STREQ(image.GetLastError(), GetParam().error);
  EXPECT_FALSE(image.IsValid());
  EXPECT_LE(image.GetNumFrames(), 1);
}

Bytes Garbage() { return Bytes(300, 0x5A); }
Bytes TwoPlaneBitmap() {
  Bytes bmp = fixtures::Encoded(fixtures::MakeColorImage(3, 3), ImageFormat::Bmp);
  bmp[14 + 12] = 2;  // planes
  return bmp;
}
Bytes TruncatedPng() {
  const Bytes png = fixtures::Encoded(fixtures::MakeColorImage(30, 30), ImageFormat::Png);
  return Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2));  // inside the pixel data
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFailureTest,
    ::testing::Values(
        FailureCase{"NothingRecognises", Garbage(), ImageFormat::Unknown, "Decode: Unknown or wrong format"},
        // Detection fails too: the error of the attempt with the given id stays.
        FailureCase{"GivenIdErrorWins", Garbage(), ImageFormat::Bmp, "BMP: not a bitmap file"},
        FailureCase{"UnsupportedIdIsNoAttempt", Garbage(), 77, "Decode: Unknown or wrong format"},
        // The first format whose header passes decides what a detection failure says.
        FailureCase{"DetectedFormatSaysWhy", TruncatedPng(), ImageFormat::Unknown, "PNG: file truncated"},
        // A signature that matched names why its header was refused.
        FailureCase{"RefusedHeaderSaysWhy", TwoPlaneBitmap(), ImageFormat::Unknown,
                    "Decode: Unknown or wrong format (BMP: planes must be 1 (2))"},
        FailureCase{"EmptyFile", Bytes{}, ImageFormat::Unknown, "Decode: Unknown or wrong format"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadFileTest, OnlyRegularFilesAreRead) {
  const std::pair<const char*, const char*> cases[] = {
      {"/nonexistent/velloran/page.png", "Decode: can't open file: it does not exist"},
      {"/tmp", "Decode: can't open file: not a regular file"},
      {"/dev/zero", "Decode: can't open file: not a regular file"}};
  for (const auto& [path, error] : cases) {
    SCOPED_TRACE(path);
    CxImage image;
    EXPECT_FALSE(image.LoadFile(path));
    EXPECT_STREQ(image.GetLastError(), error);
  }
}

TEST(LoadFileTest, FrameIndexSelectsThePageAndIsKept) {
  const CxImage first = fixtures::MakeBilevelImage(20, 20);
  const CxImage second = fixtures::MakeColorImage(5, 5);
  const std::vector<imaging::TiffPage> pages = {{&first}, {&second}};
  auto encoded = imaging::EncodeTiff(pages);
  ASSERT_FALSE(encoded.IsError()) << encoded.ErrorText();
  const TempFile file(encoded.Value(), ".tif");
  CxImage image;
  image.SetFrame(1);
  ASSERT_TRUE(image.LoadFile(file.Path())) << image.GetLastError();
  EXPECT_EQ(image.GetFrame(), 1);
  EXPECT_EQ(image.GetNumFrames(), 2);
  EXPECT_TRUE(fixtures::SameColors(second, image));
}

TEST(SaveFileTest, EverySaverWritesWhatLoadsBack) {
  const CxImage color = fixtures::MakeColorImage(17, 9);
  for (uint32_t format : {ImageFormat::Bmp, ImageFormat::Png, ImageFormat::Tiff}) {
    SCOPED_TRACE(ImageFormat::Name(format));
    const TempFile file(Bytes{});
    ASSERT_TRUE(color.SaveFile(file.Path(), format)) << color.GetLastError();
    CxImage image;
    ASSERT_TRUE(image.LoadFile(file.Path(), format)) << image.GetLastError();
    EXPECT_EQ(image.GetType(), format);
    EXPECT_TRUE(fixtures::SameColors(color, image));
  }
  const TempFile jpeg(Bytes{});
  ASSERT_TRUE(fixtures::MakeTestPage(40, 40).SaveFile(jpeg.Path(), ImageFormat::Jpeg));
  CxImage image;
  EXPECT_TRUE(image.LoadFile(jpeg.Path(), ImageFormat::Jpeg));
}

TEST(SaveFileTest, BmpFileHoldsTheBlockExactly) {
  CxImage image = fixtures::MakePaletteImage(11, 3, 4);
  image.SetXDPI(300);
  const TempFile file(Bytes{});
  ASSERT_TRUE(image.SaveFile(file.Path(), ImageFormat::Bmp));
  const Bytes written = ReadAll(file.Path());
  ASSERT_EQ(written.size(), 14 + image.GetSize());
  EXPECT_EQ(0, std::memcmp(written.data() + 14, image.GetDIB(), image.GetSize()));
}

TEST(SaveFileTest, FailuresKeepTheEncodersText) {
  const CxImage colors = fixtures::MakePaletteImage(4, 4, 8);
  const TempFile file(Bytes{'x'});
  EXPECT_FALSE(colors.SaveFile(file.Path(), ImageFormat::Jpeg));
  EXPECT_STREQ(colors.GetLastError(), "JPEG can save only RGB or GreyScale images");
  EXPECT_EQ(ReadAll(file.Path()), Bytes{'x'});  // a refused save leaves the file alone
  EXPECT_FALSE(colors.SaveFile(file.Path(), ImageFormat::Tga));
  EXPECT_STREQ(colors.GetLastError(), "Encode: saving as TGA is not supported");
  EXPECT_FALSE(colors.SaveFile("/nonexistent/velloran/out.bmp", ImageFormat::Bmp));
  EXPECT_STREQ(colors.GetLastError(), "SaveFile: can't create file");
}

}  // namespace
