// Every decoder against the same rules: a good file decodes to the picture it was made from
// and is detected as its format; a missing frame is an error; every truncation is an error,
// never a crash; empty input is nobody's.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "imaging/CodecFixtures.h"
#include "imaging/CxImage.h"
#include "imaging/ImageFixtures.h"
#include "imaging/codecs/DecoderTable.h"

namespace {

using fixtures::Bytes;

// A smooth picture that lossy codecs reproduce closely.
CxImage SmoothImage(uint32_t width, uint32_t height) {
  CxImage image;
  image.Create(width, height, 24);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      fixtures::SetColor(image, x, y, MakeRgb(static_cast<uint8_t>(60 + x * 4), static_cast<uint8_t>(90 + y * 3), 140));
  return image;
}

CxImage GrayOf(const CxImage& color) {
  CxImage gray;
  gray.Create(color.GetWidth(), color.GetHeight(), 8);
  gray.SetGrayPalette();
  for (uint32_t y = 0; y < color.GetHeight(); ++y)
    for (uint32_t x = 0; x < color.GetWidth(); ++x) fixtures::SetIndex(gray, x, y, fixtures::PixelAt(color, x, y).green);
  return gray;
}

struct Sample {
  const char* name;
  uint32_t format;
  std::function<CxImage()> picture;                // what the file shows
  std::function<Bytes(const CxImage&)> write;      // the file
  int tolerance = 0;                               // per channel, for lossy codecs
  size_t optionalTail = 0;                         // trailing bytes whose loss may go unnoticed
                                                   // (JPEG's end marker after complete data)
  int32_t frames = 1;
};

CxImage Color() { return fixtures::MakeColorImage(16, 11); }
CxImage Gray() { return fixtures::MakeGrayImage(16, 11); }
CxImage Palette8() { return fixtures::MakePaletteImage(16, 11, 8); }
CxImage Palette4() { return fixtures::MakePaletteImage(16, 11, 4); }
CxImage Bilevel() { return fixtures::MakeBilevelImage(32, 11); }

Bytes As(const CxImage& image, uint32_t format) { return fixtures::Encoded(image, format); }

const Sample kSamples[] = {
    {"Bmp24", ImageFormat::Bmp, Color, [](const CxImage& i) { return As(i, ImageFormat::Bmp); }},
    {"Bmp8", ImageFormat::Bmp, Palette8, [](const CxImage& i) { return As(i, ImageFormat::Bmp); }},
    {"Bmp4", ImageFormat::Bmp, Palette4, [](const CxImage& i) { return As(i, ImageFormat::Bmp); }},
    {"Bmp1", ImageFormat::Bmp, Bilevel, [](const CxImage& i) { return As(i, ImageFormat::Bmp); }},
    {"JpegColor", ImageFormat::Jpeg, [] { return SmoothImage(32, 24); }, [](const CxImage& i) { return As(i, ImageFormat::Jpeg); }, 8, 2},
    {"JpegGray", ImageFormat::Jpeg, [] { return GrayOf(SmoothImage(32, 24)); }, [](const CxImage& i) { return As(i, ImageFormat::Jpeg); }, 6, 2},
    {"Ico", ImageFormat::Ico, Palette4,
     [](const CxImage& i) {
       const CxImage second = Color();
       return fixtures::WriteIco({&i, &second}, {false, true});
     },
     0, 0, 2},
    {"Gif", ImageFormat::Gif, Palette8, [](const CxImage& i) { return fixtures::WriteGif({&i}, false); }, 0, 1},
    {"GifInterlaced", ImageFormat::Gif, Palette8, [](const CxImage& i) { return fixtures::WriteGif({&i}, true); }, 0, 1},
    {"Png24", ImageFormat::Png, Color, [](const CxImage& i) { return As(i, ImageFormat::Png); }, 0, 12},
    {"PngPalette", ImageFormat::Png, Palette4, [](const CxImage& i) { return As(i, ImageFormat::Png); }, 0, 12},
    {"PngGray", ImageFormat::Png, Gray, [](const CxImage& i) { return As(i, ImageFormat::Png); }, 0, 12},
    {"TiffLzw", ImageFormat::Tiff, Color, [](const CxImage& i) { return As(i, ImageFormat::Tiff); }},
    {"TiffG4", ImageFormat::Tiff, Bilevel, [](const CxImage& i) { return As(i, ImageFormat::Tiff); }},
    {"TiffGray", ImageFormat::Tiff, Gray, [](const CxImage& i) { return As(i, ImageFormat::Tiff); }},
    {"TiffPalette", ImageFormat::Tiff, Palette8, [](const CxImage& i) { return As(i, ImageFormat::Tiff); }},
    {"Mng", ImageFormat::Mng, Color, [](const CxImage& i) { return fixtures::WriteMng(i); }},
    {"Tga24", ImageFormat::Tga, Color, [](const CxImage& i) { return fixtures::WriteTga(i, false, false); }},
    {"Tga8RleTop", ImageFormat::Tga, Palette8, [](const CxImage& i) { return fixtures::WriteTga(i, true, true); }},
    {"Pcx24", ImageFormat::Pcx, Color, [](const CxImage& i) { return fixtures::WritePcx(i); }},
    {"Pcx8", ImageFormat::Pcx, Palette8, [](const CxImage& i) { return fixtures::WritePcx(i); }},
    {"Pcx1", ImageFormat::Pcx, Bilevel, [](const CxImage& i) { return fixtures::WritePcx(i); }},
    {"Wbmp", ImageFormat::Wbmp, Bilevel, [](const CxImage& i) { return fixtures::WriteWbmp(i); }},
    {"Jp2", ImageFormat::Jp2, Color, [](const CxImage& i) { return fixtures::WriteJpeg2000(i, true); }},
    {"J2kGray", ImageFormat::J2k, Gray, [](const CxImage& i) { return fixtures::WriteJpeg2000(i, false); }},
    {"PgxBigEndian", ImageFormat::Pgx, Gray, [](const CxImage& i) { return fixtures::WritePgx(i, true); }},
    {"PgxLittleEndian12", ImageFormat::Pgx, Gray, [](const CxImage& i) { return fixtures::WritePgx(i, false, 12); }},
    // Plain formats end in a number: a cut inside the last one still reads as a number.
    {"PnmP1", ImageFormat::Pnm, Bilevel, [](const CxImage& i) { return fixtures::WritePnm(i, '1'); }, 0, 1},
    {"PnmP2", ImageFormat::Pnm, Gray, [](const CxImage& i) { return fixtures::WritePnm(i, '2'); }, 0, 4},
    {"PnmP3", ImageFormat::Pnm, Color, [](const CxImage& i) { return fixtures::WritePnm(i, '3'); }, 0, 4},
    {"PnmP4", ImageFormat::Pnm, Bilevel, [](const CxImage& i) { return fixtures::WritePnm(i, '4'); }},
    {"PnmP5", ImageFormat::Pnm, Gray, [](const CxImage& i) { return fixtures::WritePnm(i, '5'); }},
    {"PnmP6Wide", ImageFormat::Pnm, Color, [](const CxImage& i) { return fixtures::WritePnm(i, '6', 65535); }},
    {"Ras24", ImageFormat::Ras, Color, [](const CxImage& i) { return fixtures::WriteRas(i, false); }},
    {"Ras8Rle", ImageFormat::Ras, Palette8, [](const CxImage& i) { return fixtures::WriteRas(i, true); }},
    {"Ras1", ImageFormat::Ras, Bilevel, [](const CxImage& i) { return fixtures::WriteRas(i, false); }},
    {"Ska", ImageFormat::Ska, Palette8, [](const CxImage& i) { return fixtures::WriteSka(i); }},
};

class DecoderConformanceTest : public ::testing::TestWithParam<Sample> {
 protected:
  void SetUp() override {
    picture_ = GetParam().picture();
    bytes_ = GetParam().write(picture_);
  }
  CxImage picture_;
  Bytes bytes_;
};

TEST_P(DecoderConformanceTest, DecodesThePictureItWasMadeFrom) {
  const Sample& sample = GetParam();
  CxImage image;
  ASSERT_TRUE(image.Decode(bytes_, sample.format)) << image.GetLastError();
  EXPECT_EQ(image.GetType(), sample.format);
  EXPECT_EQ(image.GetNumFrames(), sample.frames);
  EXPECT_EQ(image.GetFrame(), 0);
  EXPECT_TRUE(fixtures::SameColors(picture_, image, sample.tolerance));
}

TEST_P(DecoderConformanceTest, DetectionFindsTheFormat) {
  CxImage image;
  ASSERT_TRUE(image.Decode(bytes_, ImageFormat::Unknown)) << image.GetLastError();
  EXPECT_EQ(image.GetType(), GetParam().format) << "detected as " << ImageFormat::Name(image.GetType());
  EXPECT_EQ(imaging::DetectFormat(bytes_), GetParam().format);
}

TEST_P(DecoderConformanceTest, FrameAfterTheLastIsMissing) {
  const Sample& sample = GetParam();
  auto decoder = imaging::DecoderFor(sample.format)->create(bytes_);
  ASSERT_FALSE(decoder.IsError()) << decoder.ErrorText();
  ASSERT_EQ(decoder.Value()->FrameCount(), sample.frames);
  const auto missing = decoder.Value()->Frame(sample.frames);
  ASSERT_TRUE(missing.IsError());
  EXPECT_NE(missing.ErrorText().find("not present"), std::string::npos) << missing.ErrorText();
  EXPECT_TRUE(decoder.Value()->Frame(-1).IsError());
  EXPECT_FALSE(decoder.Value()->Frame(sample.frames - 1).IsError());

  CxImage image;
  image.SetFrame(sample.frames);
  EXPECT_FALSE(image.Decode(bytes_, sample.format));
  EXPECT_FALSE(image.IsValid());
  EXPECT_NE(std::string(image.GetLastError()).find("not present"), std::string::npos) << image.GetLastError();
}

TEST_P(DecoderConformanceTest, EveryTruncationIsAnError) {
  const Sample& sample = GetParam();
  ASSERT_GT(bytes_.size(), sample.optionalTail);
  for (size_t length = 0; length + sample.optionalTail < bytes_.size(); ++length) {
    const Bytes prefix(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(length));
    CxImage image;
    const bool decoded = image.Decode(prefix, sample.format);
    EXPECT_FALSE(decoded) << "a prefix of " << length << " of " << bytes_.size() << " bytes decoded";
    EXPECT_STRNE(image.GetLastError(), "") << "no error text for a prefix of " << length;
    if (decoded) break;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, DecoderConformanceTest, ::testing::ValuesIn(kSamples),
                         [](const auto& info) { return std::string(info.param.name); });

class DecoderEntryTest : public ::testing::TestWithParam<imaging::DecoderEntry> {};

TEST_P(DecoderEntryTest, EmptyInputIsNotRecognised) {
  const std::span<const uint8_t> empty;
  EXPECT_FALSE(GetParam().sniff(empty));
  const auto decoder = GetParam().create(empty);
  ASSERT_TRUE(decoder.IsError());
  EXPECT_FALSE(decoder.ErrorText().empty());
}

TEST_P(DecoderEntryTest, ZeroFilledInputIsAnError) {
  const Bytes zeros(4096, 0);
  CxImage image;
  EXPECT_FALSE(image.Decode(zeros, GetParam().formatId));
  EXPECT_STRNE(image.GetLastError(), "");
}

INSTANTIATE_TEST_SUITE_P(AllDecoders, DecoderEntryTest, ::testing::ValuesIn(imaging::DetectionTable().begin(), imaging::DetectionTable().end()),
                         [](const auto& info) { return std::string(ImageFormat::Name(info.param.formatId)); });

}  // namespace
