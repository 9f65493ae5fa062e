// A page from its file to the format the application negotiated: loading, the enhancements the
// user chose, and the conversions of flavor, pixel type, depth and resolution.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AcquisitionFixtures.h"
#include "acquisition/ImageLoadException.h"
#include "acquisition/ScanImage.h"
#include "imaging/ColorDetector.h"
#include "imaging/ImageFixtures.h"
#include "twain/twain.h"

namespace acquisition_test {
namespace {

using fixtures::PixelAt;

CxImage WithDpi(CxImage image, int32_t x, int32_t y) {
  image.SetXDPI(x);
  image.SetYDPI(y);
  return image;
}

// A held page made from an image, through a real file.
class HeldPage : public AcquisitionTest {
 protected:
  void Hold(const CxImage& image) {
    const std::string path = (env.Root() / "held.png").string();
    WriteImage(path, image);
    page.Load(path, 0);
  }
  CxImage& Image() { return page.Image(); }
  ScanImage page{settings};
};

// --- Loading ---

TEST_F(HeldPage, LoadsTheRequestedPageAndDetectsTheFormatFromTheContent) {
  const std::string tiff = (env.Root() / "pages.tif").string();
  WriteTiffPages(tiff, {PageOfWidth(10), PageOfWidth(11), PageOfWidth(12)});
  page.Load(tiff, 2);
  EXPECT_EQ(page.PageCount(), 3);
  EXPECT_EQ(page.Page(), 2);
  EXPECT_EQ(page.Path(), tiff);
  EXPECT_EQ(Image().GetWidth(), 12u);
  EXPECT_EQ(CountLines("DEBUG ScanImage", "Loading page: 2, file: " + tiff), 1);
  EXPECT_EQ(CountLines("DEBUG ScanImage", "Loaded page: 2, file: " + tiff), 1);

  const std::string misnamed = (env.Root() / "photo.jpg").string();
  WriteImage(misnamed, PageOfWidth(7), ImageFormat::Png);
  page.Load(misnamed, 0);
  EXPECT_EQ(Image().GetWidth(), 7u);
  EXPECT_EQ(Image().GetType(), ImageFormat::Png);
}

TEST_F(HeldPage, PageThatCannotBeHadThrowsAndIsLogged) {
  const std::string tiff = (env.Root() / "pages.tif").string();
  WriteTiffPages(tiff, {PageOfWidth(10), PageOfWidth(11)});
  const std::string garbage = (env.Root() / "broken.png").string();
  WriteText(garbage, "this is not a picture");
  const std::string pdf = (env.Root() / "document.PDF").string();
  WriteText(pdf, "%PDF-1.4\n");
  // Each line says why: the decoder's own words, or what kept the file from being read.
  const struct {
    std::string path;
    int32_t page;
    std::string reason;  // the start of it
  } failures[] = {{tiff, 2, ""},
                  {garbage, 0, ""},
                  {pdf, 0, "the PDF library cannot open it: "},
                  {(env.Root() / "missing.png").string(), 0, "not a regular file"},
                  {env.Root().string(), 0, "not a regular file"}};

  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.path);
    EXPECT_THROW(page.Load(failure.path, failure.page), ImageLoadException);
    EXPECT_FALSE(Image().IsValid());
    const std::string log = Log();
    const std::string line =
        "ERROR ScanImage: FAILED to Load page: " + std::to_string(failure.page) + ", file: " + failure.path + ": ";
    const std::size_t at = log.rfind(line);
    ASSERT_NE(at, std::string::npos) << log;
    const std::string reason = log.substr(at + line.size(), log.find('\n', at) - at - line.size());
    EXPECT_THAT(reason, ::testing::StartsWith(failure.reason));
    EXPECT_NE(reason, "reason unknown");
    EXPECT_FALSE(reason.empty());
  }
  page.Load(tiff, 1);
  EXPECT_EQ(Image().GetWidth(), 11u);
}

// --- What the held page is ---

struct KindCase {
  const char* name;
  CxImage (*make)();
  uint16_t pixelType;
  uint16_t flavor;
};

CxImage BlackFirst() { return fixtures::MakeBilevelImage(9, 4); }
CxImage WhiteFirst() {
  CxImage image = fixtures::MakeBilevelImage(9, 4);
  image.Invert();
  return image;
}
CxImage Gray() { return fixtures::MakeGrayImage(9, 4); }
CxImage Palette() { return fixtures::MakePaletteImage(9, 4, 8); }
CxImage Color() { return fixtures::MakeColorImage(9, 4); }

class PageKind : public HeldPage, public ::testing::WithParamInterface<KindCase> {};

TEST_P(PageKind, GivesPixelTypeAndFlavor) {
  page.Image() = GetParam().make();
  EXPECT_EQ(page.PixelType(), GetParam().pixelType);
  EXPECT_EQ(page.Flavor(), GetParam().flavor);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PageKind,
                         ::testing::Values(KindCase{"BlackFirst", BlackFirst, TWPT_BW, TWPF_CHOCOLATE},
                                           KindCase{"WhiteFirst", WhiteFirst, TWPT_BW, TWPF_VANILLA},
                                           KindCase{"Gray", Gray, TWPT_GRAY, TWPF_CHOCOLATE},
                                           KindCase{"PaletteNotBlackFirst", Palette, TWPT_PALETTE, TWPF_VANILLA},
                                           KindCase{"Color", Color, TWPT_RGB, TWPF_CHOCOLATE}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Enhancements ---

TEST_F(HeldPage, ThresholdMakesBlackAndWhiteAndKeepsTheResolution) {
  settings.SetThreshold(true);
  Hold(WithDpi(fixtures::MakeTestPage(120, 90), 300, 150));
  page.ImageProcessing(settings);
  EXPECT_EQ(Image().GetBpp(), 1u);
  EXPECT_EQ(Image().GetXDPI(), 300);
  EXPECT_EQ(Image().GetYDPI(), 150);
  EXPECT_EQ(CountLines("DEBUG ScanImage", "Threshold the image"), 1);
  EXPECT_EQ(CountLines("DEBUG ScanImage",
                       "Image info before ImageProcessing: ImageWidth=120 ImageHeight=90 XRes=300 YRes=150, BPP=24"),
            1);
  EXPECT_EQ(CountLines("DEBUG ScanImage",
                       "Image info after ImageProcessing: ImageWidth=120 ImageHeight=90 XRes=300 YRes=150, BPP=1"),
            1);
}

TEST_F(HeldPage, BlackAndWhitePageSkipsThresholdPaperAndColourHandling) {
  settings.SetThreshold(true);
  settings.SetBackgroundDropout(2);
  settings.SetColorDetection(true);
  const CxImage bilevel = fixtures::MakeBilevelImage(40, 20);
  Hold(bilevel);
  page.ImageProcessing(settings);
  EXPECT_TRUE(fixtures::SameColors(bilevel, Image()));
  EXPECT_EQ(Image().GetBpp(), 1u);
  EXPECT_EQ(Log().find("Threshold the image"), std::string::npos);
  EXPECT_EQ(Log().find("ColorDetection:"), std::string::npos);
}

TEST_F(HeldPage, PaperColourDropoutTurnsThePaperWhite) {
  settings.SetBackgroundDropout(2);
  Hold(fixtures::MakeTestPage(160, 120));
  const RgbQuad before = PixelAt(Image(), 2, 60);
  page.ImageProcessing(settings);
  const RgbQuad after = PixelAt(Image(), 2, 60);
  EXPECT_NE(before.red, 255);
  EXPECT_EQ(after.red, 255);
  EXPECT_EQ(after.green, 255);
  EXPECT_EQ(after.blue, 255);
}

// Limits relative to what the detector measures on the page; kOff leaves a limit at 0.
constexpr int kOff = -1000;
struct DetectionCase {
  const char* name;
  int amountLimit;  // measured amount + this
  int ratioLimit;   // measured ratio + this
  bool binarised;
};

class ColourDetection : public HeldPage, public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(ColourDetection, BinarisesPagesWithLessColourThanALimit) {
  const DetectionCase& c = GetParam();
  Hold(fixtures::MakeTestPage(160, 120));
  ColorDetector detector;
  const auto measure = detector.Detect(Image());
  ASSERT_TRUE(measure.has_value());
  ASSERT_GT(measure->amount, 0);
  ASSERT_GT(measure->ratio, 0);
  settings.SetColorDetection(true);
  settings.WriteString("ImageProcessing", "ColorDetectionAmount",
                       std::to_string(c.amountLimit == kOff ? 0 : measure->amount + c.amountLimit));
  settings.WriteString("ImageProcessing", "ColorDetectionRatio",
                       std::to_string(c.ratioLimit == kOff ? 0 : measure->ratio + c.ratioLimit));
  page.ImageProcessing(settings);
  EXPECT_EQ(Image().GetBpp(), c.binarised ? 1u : 24u);
  EXPECT_EQ(CountLines("DEBUG ScanImage", "ColorDetection: Ratio=" + std::to_string(measure->ratio) +
                                              " Amount=" + std::to_string(measure->amount)),
            1);
}

INSTANTIATE_TEST_SUITE_P(Limits, ColourDetection,
                         ::testing::Values(DetectionCase{"NoLimits", kOff, kOff, false},
                                           DetectionCase{"AmountAbove", 1, kOff, true},
                                           DetectionCase{"AmountEqual", 0, kOff, false},
                                           DetectionCase{"RatioAbove", kOff, 1, true},
                                           DetectionCase{"RatioAboveAfterAmountEqual", 0, 1, true},
                                           DetectionCase{"BothEqual", 0, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct GeometryCase {
  const char* name;
  int rotation;
  int scaleWidth;
  int scaleHeight;
  uint32_t width, height;        // before
  uint32_t newWidth, newHeight;  // after
};

class Geometry : public HeldPage, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(Geometry, RotatesAndScalesKeepingTheResolution) {
  const GeometryCase& c = GetParam();
  settings.SetRotation(c.rotation);
  settings.WriteString("ImageProcessing", "ScaleToWidth", std::to_string(c.scaleWidth));
  settings.WriteString("ImageProcessing", "ScaleToHeight", std::to_string(c.scaleHeight));
  Hold(WithDpi(fixtures::MakeGrayImage(c.width, c.height), 200, 100));
  page.ImageProcessing(settings);
  EXPECT_EQ(Image().GetWidth(), c.newWidth);
  EXPECT_EQ(Image().GetHeight(), c.newHeight);
  EXPECT_EQ(Image().GetXDPI(), 200);
  EXPECT_EQ(Image().GetYDPI(), 100);
}

INSTANTIATE_TEST_SUITE_P(Cases, Geometry,
                         ::testing::Values(GeometryCase{"Nothing", 0, 0, 0, 160, 120, 160, 120},
                                           GeometryCase{"WidthOnly", 0, 80, 0, 160, 120, 80, 60},
                                           GeometryCase{"HeightOnly", 0, 0, 40, 160, 120, 53, 40},
                                           GeometryCase{"Both", 0, 50, 70, 160, 120, 50, 70},
                                           GeometryCase{"Rotation90", 90, 0, 0, 100, 50, 50, 100},
                                           GeometryCase{"RotationThenScale", 90, 25, 0, 100, 50, 25, 50}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HeldPage, MirrorSwapsLeftAndRight) {
  settings.SetMirror(true);
  const CxImage color = fixtures::MakeColorImage(7, 3);
  Hold(color);
  page.ImageProcessing(settings);
  for (uint32_t x = 0; x < 7; ++x) {
    const RgbQuad expected = PixelAt(color, 6 - x, 1);
    const RgbQuad actual = PixelAt(Image(), x, 1);
    EXPECT_EQ(actual.red, expected.red);
    EXPECT_EQ(actual.blue, expected.blue);
  }
  EXPECT_EQ(CountLines("DEBUG ScanImage", "Image mirrored"), 1);
}

// --- The negotiated format ---

NegotiatedFormat Format(uint16_t pixelType, uint16_t bitDepth, uint16_t flavor = TWPF_CHOCOLATE, double x = 300,
                        double y = 300) {
  return NegotiatedFormat{pixelType, bitDepth, flavor, x, y};
}

TEST_F(HeldPage, FlavorConversionKeepsThePictureAndSwapsThePixelValues) {
  // 1001 pixels: the last byte of each row holds a single pixel.
  const CxImage bilevel = fixtures::MakeBilevelImage(1001, 5);
  page.Image() = bilevel;
  page.Prepare(false, Format(TWPT_BW, 1, TWPF_VANILLA), false);
  EXPECT_EQ(page.Flavor(), TWPF_VANILLA);
  EXPECT_EQ(Image().GetPaletteColor(0).red, 255);
  EXPECT_TRUE(fixtures::SameColors(bilevel, Image()));
  for (uint32_t x : {0u, 1u, 7u, 8u, 999u, 1000u}) {
    EXPECT_EQ(fixtures::IndexAt(Image(), x, 2), 1 - fixtures::IndexAt(bilevel, x, 2)) << x;
  }
  EXPECT_EQ(CountLines("DEBUG ScanImage", "Flavor was converted from 0 to 1"), 1);

  page.Prepare(false, Format(TWPT_BW, 1, TWPF_VANILLA), false);  // already vanilla
  page.Prepare(false, Format(TWPT_BW, 1, TWPF_CHOCOLATE), false);
  EXPECT_EQ(fixtures::IndexAt(Image(), 1000, 2), fixtures::IndexAt(bilevel, 1000, 2));
  EXPECT_EQ(CountLines("DEBUG ScanImage", "Flavor was converted from 1 to 0"), 1);

  const CxImage gray = fixtures::MakeGrayImage(9, 4);
  page.Image() = gray;
  page.Prepare(false, Format(TWPT_GRAY, 8, TWPF_VANILLA), false);
  EXPECT_TRUE(fixtures::SameColors(gray, Image()));
  EXPECT_EQ(page.Flavor(), TWPF_CHOCOLATE);
}

struct TypeCase {
  const char* name;
  CxImage (*make)();
  bool force;
  uint16_t pixelType;
  uint16_t bitDepth;
  uint32_t bpp;      // after
  uint16_t newType;  // after
  const char* log;   // nullptr: no conversion line
};

CxImage Photo() { return fixtures::MakeColorImage(12, 6); }

class PixelTypeConversion : public HeldPage, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(PixelTypeConversion, FollowsTheCapabilitiesOnlyWhenForced) {
  const TypeCase& c = GetParam();
  page.Image() = c.make();
  page.Prepare(c.force, Format(c.pixelType, c.bitDepth), false);
  EXPECT_EQ(Image().GetBpp(), c.bpp);
  EXPECT_EQ(page.PixelType(), c.newType);
  if (c.log != nullptr) {
    EXPECT_EQ(CountLines("DEBUG ScanImage", c.log), 1) << Log();
  } else {
    EXPECT_EQ(Log().find("Image was converted"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PixelTypeConversion,
    ::testing::Values(
        TypeCase{"RgbToBw", Photo, true, TWPT_BW, 1, 1, TWPT_BW, "Image was converted from TWPT_RGB, 24 bits to TWPT_BW, 1 bits"},
        TypeCase{"RgbToGray", Photo, true, TWPT_GRAY, 8, 8, TWPT_GRAY,
                 "Image was converted from TWPT_RGB, 8 bits to TWPT_GRAY, 8 bits"},
        TypeCase{"GrayToRgb", Gray, true, TWPT_RGB, 24, 24, TWPT_RGB,
                 "Image was converted from TWPT_GRAY, 8 bits to TWPT_RGB, 24 bits"},
        TypeCase{"AlreadyThere", Photo, true, TWPT_RGB, 24, 24, TWPT_RGB,
                 "Image was converted from TWPT_RGB, 24 bits to TWPT_RGB, 24 bits"},
        TypeCase{"NotForced", Photo, false, TWPT_BW, 1, 24, TWPT_RGB, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

struct ResolutionCase {
  const char* name;
  uint32_t width, height;
  int32_t xDpi, yDpi;
  double requestedX, requestedY;
  uint32_t newWidth, newHeight;
  int32_t newXDpi, newYDpi;
};

class ResolutionFix : public HeldPage, public ::testing::WithParamInterface<ResolutionCase> {};

TEST_P(ResolutionFix, ResamplesToTheRequestedResolution) {
  const ResolutionCase& c = GetParam();
  page.Image() = WithDpi(fixtures::MakeGrayImage(c.width, c.height), c.xDpi, c.yDpi);
  page.Prepare(false, Format(TWPT_GRAY, 8, TWPF_CHOCOLATE, c.requestedX, c.requestedY), true);
  EXPECT_EQ(Image().GetWidth(), c.newWidth);
  EXPECT_EQ(Image().GetHeight(), c.newHeight);
  EXPECT_EQ(Image().GetXDPI(), c.newXDpi);
  EXPECT_EQ(Image().GetYDPI(), c.newYDpi);
  const bool resampled = c.newWidth != c.width || c.newHeight != c.height;
  EXPECT_EQ(Log().find("New image properties") != std::string::npos, resampled);
  EXPECT_EQ(Log().find("Image has different X and Y resolutions") != std::string::npos, c.xDpi != c.yDpi);
}

INSTANTIATE_TEST_SUITE_P(Cases, ResolutionFix,
                         ::testing::Values(ResolutionCase{"Equalised", 1000, 500, 300, 150, 300, 300, 1000, 1000, 300, 300},
                                           ResolutionCase{"EqualisedThenReduced", 1000, 500, 300, 150, 200, 200, 666, 666, 200, 200},
                                           ResolutionCase{"FinerX", 500, 1000, 150, 300, 300, 300, 1000, 1000, 300, 300},
                                           ResolutionCase{"AxesApart", 600, 300, 300, 300, 150, 300, 300, 300, 150, 300},
                                           ResolutionCase{"Enlarged", 100, 100, 100, 100, 300, 300, 300, 300, 300, 300},
                                           ResolutionCase{"AlreadyThere", 400, 200, 200, 200, 200, 200, 400, 200, 200, 200}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HeldPage, PageThatCannotBeResampledKeepsItsResolution) {
  page.Image() = WithDpi(fixtures::MakeGrayImage(2, 2), 300, 300);
  page.Prepare(false, Format(TWPT_GRAY, 8, TWPF_CHOCOLATE, 100, 100), true);  // 0 x 0 pixels
  EXPECT_EQ(Image().GetWidth(), 2u);
  EXPECT_EQ(Image().GetXDPI(), 300);
  EXPECT_EQ(Image().GetYDPI(), 300);
}

struct RowCase {
  uint32_t width;
  CxImage (*make)(uint32_t width);
  int32_t bytesPerRow;
};

CxImage BilevelOf(uint32_t width) { return fixtures::MakeBilevelImage(width, 2); }
CxImage GrayOf(uint32_t width) { return fixtures::MakeGrayImage(width, 2); }
CxImage ColorOf(uint32_t width) { return fixtures::MakeColorImage(width, 2); }

class RowLength : public HeldPage, public ::testing::WithParamInterface<RowCase> {};

TEST_P(RowLength, IsWholeBytesPaddedToFour) {
  page.Image() = GetParam().make(GetParam().width);
  page.Prepare(false, Format(TWPT_BW, 1), false);
  EXPECT_EQ(page.BytesPerRow(), GetParam().bytesPerRow);
}

INSTANTIATE_TEST_SUITE_P(Rows, RowLength,
                         ::testing::Values(RowCase{1001, BilevelOf, 128}, RowCase{32, BilevelOf, 4},
                                           RowCase{33, BilevelOf, 8}, RowCase{5, GrayOf, 8}, RowCase{4, GrayOf, 4},
                                           RowCase{3, ColorOf, 12}, RowCase{5, ColorOf, 16}));

}  // namespace
}  // namespace acquisition_test
