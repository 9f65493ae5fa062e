// The data source's PDF rendering over the real libFileFormats.so of the build.

#include "acquisition/PdfRenderer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "acquisition/ImageLoadException.h"
#include "imaging/CxImage.h"
#include "pdf/PdfTestEnvironment.h"

namespace {

using namespace test_pdf;
using ::testing::HasSubstr;
using ::testing::Not;

// The picture's pixel at (x, y) counted from its top-left corner; the image stores rows bottom-up.
Bgr ImagePixel(const CxImage& image, uint32_t x, uint32_t y) {
  return PixelAt(image.GetBits(image.GetHeight() - 1 - y), static_cast<int32_t>(x));
}

class PdfRendererTest : public PdfTestEnvironment {
 protected:
  PdfDocument pdf_;
  CxImage image_;
};

struct GeometryCase {
  const char* name;
  const char* file;
  double width;
  double height;
  int rotate;
  int resolution;
  uint32_t pixelWidth;
  uint32_t pixelHeight;
  // Where the red square at the unrotated top-left corner is shown, as a fraction of the picture.
  double markX;
  double markY;
};

class PdfGeometryTest : public PdfRendererTest, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(PdfGeometryTest, PageBecomesA24BitImageOfItsSizeAtTheResolution) {
  const GeometryCase& c = GetParam();
  PageSpec page;
  page.width = c.width;
  page.height = c.height;
  page.rotate = c.rotate;
  page.boxes.push_back({0, 0, 72, 72, kRed});
  const std::string path = Write(c.file, {page});

  RenderPdfPage(pdf_, image_, path, 0, c.resolution);

  EXPECT_EQ(image_.GetWidth(), c.pixelWidth);
  EXPECT_EQ(image_.GetHeight(), c.pixelHeight);
  EXPECT_EQ(image_.GetBpp(), 24u);
  EXPECT_EQ(image_.GetXDPI(), c.resolution);
  EXPECT_EQ(image_.GetYDPI(), c.resolution);
  const uint32_t inset = c.resolution / 4;  // a quarter inch inside the one-inch square
  const auto x = static_cast<uint32_t>(c.markX * (c.pixelWidth - 1 - 2 * inset)) + inset;
  const auto y = static_cast<uint32_t>(c.markY * (c.pixelHeight - 1 - 2 * inset)) + inset;
  EXPECT_EQ(ImagePixel(image_, x, y), kRedPixel);
  EXPECT_EQ(ImagePixel(image_, c.pixelWidth / 2, c.pixelHeight / 2), kWhitePixel);
  EXPECT_THAT(LogText(), HasSubstr("DEBUG PDF: Successfully created CxImage with Resolution " +
                                   std::to_string(c.resolution) + " from file " + path + " PageNumber = 0\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PdfGeometryTest,
    ::testing::ValuesIn(std::vector<GeometryCase>{
        {"LetterAt300", "letter.pdf", 612, 792, 0, 300, 2550, 3300, 0, 0},
        {"LetterAt200", "letter.pdf", 612, 792, 0, 200, 1700, 2200, 0, 0},
        {"LetterTurned90", "turned.pdf", 612, 792, 90, 100, 1100, 850, 1, 0},
        {"LetterTurned270", "turned.pdf", 612, 792, 270, 100, 1100, 850, 0, 1},
        {"UpsideDown", "upside.pdf", 612, 792, 180, 100, 850, 1100, 1, 1},
        // 595 x 200 / 72 = 1652.8 and 842 x 200 / 72 = 2338.9: truncated, not rounded.
        {"A4Truncated", "a4.pdf", 595, 842, 0, 200, 1652, 2338, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PdfRendererTest, ThreePagesInOrderOpenOnceLookUpEachPageOnceAndCloseOnRelease) {
  const std::string path = Write("three.pdf", ThreeColouredPages());
  const Bgr expected[] = {kRedPixel, kGreenPixel, kBluePixel};
  for (int32_t index = 0; index < 3; ++index) {
    SCOPED_TRACE(index);
    RenderPdfPage(pdf_, image_, path, index, 20);
    EXPECT_EQ(ImagePixel(image_, 60, 80), expected[index]);
  }
  EXPECT_TRUE(pdf_.IsOpen());
  EXPECT_EQ(pdf_.PageCount(), 3);
  EXPECT_EQ(Calls().opens, 1);
  EXPECT_EQ(Calls().pageLookups, 3);
  EXPECT_EQ(Calls().renders, 3);

  // The same page again is drawn again without a new lookup.
  RenderPdfPage(pdf_, image_, path, 2, 20);
  EXPECT_EQ(Calls().pageLookups, 3);
  EXPECT_EQ(Calls().renders, 4);

  ClosePdfDocument(pdf_);
  EXPECT_FALSE(pdf_.IsOpen());
  EXPECT_EQ(pdf_.PageCount(), 0);
  EXPECT_EQ(Calls().closes, 1);
  ClosePdfDocument(pdf_);
  EXPECT_EQ(Calls().closes, 1);
}

TEST_F(PdfRendererTest, DocumentIsClosedWhenItsHolderDies) {
  const std::string path = Write("one.pdf", {PageSpec{}});
  {
    PdfDocument holder;
    RenderPdfPage(holder, image_, path, 0, 10);
  }
  EXPECT_EQ(Calls().opens, 1);
  EXPECT_EQ(Calls().closes, 1);
}

// A holder that moves on to another file closes the first document and looks its page up in the
// new one, even when the page index is the same.
TEST_F(PdfRendererTest, AnotherFileClosesTheFirstAndLooksUpItsOwnPage) {
  const std::string first = Write("first.pdf", ThreeColouredPages());
  std::vector<PageSpec> others = ThreeColouredPages();
  std::swap(others[1], others[2]);
  const std::string second = Write("second.pdf", others);

  RenderPdfPage(pdf_, image_, first, 1, 20);
  EXPECT_EQ(ImagePixel(image_, 60, 80), kGreenPixel);
  RenderPdfPage(pdf_, image_, second, 1, 20);
  EXPECT_EQ(ImagePixel(image_, 60, 80), kBluePixel);
  EXPECT_EQ(pdf_.Path(), second);
  EXPECT_EQ(Calls().opens, 2);
  EXPECT_EQ(Calls().closes, 1);
  EXPECT_EQ(Calls().pageLookups, 2);
}

struct OpenFailureCase {
  const char* name;
  int code;  // the library's code in "LastErrorCode = %d"
  const char* says;
};

class PdfOpenFailureTest : public PdfRendererTest, public ::testing::WithParamInterface<OpenFailureCase> {
 protected:
  void MakeFile(const std::string& path) const {
    const std::string name = GetParam().name;
    if (name == "Locked") {
      WritePdf(Path("plain.pdf"), {PageSpec{}});
      WriteLockedCopy(Path("plain.pdf"), path, "secret");
    } else {
      WriteDamagedPdf(path);
    }
  }
};

TEST_P(PdfOpenFailureTest, IsLoggedFailsThePageAndIsTriedAgainNextTime) {
  const std::string path = Path("document.pdf");
  MakeFile(path);

  EXPECT_THROW(RenderPdfPage(pdf_, image_, path, 0, 50), ImageLoadException);
  EXPECT_FALSE(pdf_.IsOpen());
  EXPECT_FALSE(image_.IsValid());
  EXPECT_THAT(LogText(), HasSubstr("ERROR PDF: Error during opening file. LastErrorCode = " +
                                   std::to_string(GetParam().code) + "\n"));
  EXPECT_THAT(LogText(), HasSubstr(GetParam().says));

  EXPECT_THROW(RenderPdfPage(pdf_, image_, path, 0, 50), ImageLoadException);
  EXPECT_EQ(Calls().opens, 2);

  // Once the file is readable the next request succeeds.
  WritePdf(path, {PageSpec{}});
  RenderPdfPage(pdf_, image_, path, 0, 50);
  EXPECT_EQ(Calls().opens, 3);
  EXPECT_EQ(image_.GetWidth(), 425u);
}

INSTANTIATE_TEST_SUITE_P(Files, PdfOpenFailureTest,
                         ::testing::ValuesIn(std::vector<OpenFailureCase>{
                             {"Locked", DPL_ERROR_PASSWORD, "is protected by a password"},
                             {"Damaged", DPL_ERROR_DAMAGED, "too damaged to read"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PdfRendererTest, PageOutsideTheDocumentFailsAndKeepsItOpen) {
  const std::string path = Write("three.pdf", ThreeColouredPages());
  EXPECT_THROW(RenderPdfPage(pdf_, image_, path, 3, 20), ImageLoadException);
  EXPECT_THAT(LogText(), HasSubstr("ERROR PDF: LastErrorCode = " + std::to_string(DPL_ERROR_NO_SUCH_PAGE) + "\n"));
  EXPECT_TRUE(pdf_.IsOpen());
  RenderPdfPage(pdf_, image_, path, 2, 20);
  EXPECT_EQ(ImagePixel(image_, 60, 80), kBluePixel);
  EXPECT_EQ(Calls().opens, 1);
}

struct BitmapFailureCase {
  const char* name;
  double side;  // points
  int resolution;
  const char* logged;
};

class PdfBitmapFailureTest : public PdfRendererTest, public ::testing::WithParamInterface<BitmapFailureCase> {};

TEST_P(PdfBitmapFailureTest, PageThatNeedsAnImpossibleBitmapFails) {
  PageSpec page;
  page.width = page.height = GetParam().side;
  const std::string path = Write("page.pdf", {page});
  EXPECT_THROW(RenderPdfPage(pdf_, image_, path, 0, GetParam().resolution), ImageLoadException);
  EXPECT_THAT(LogText(), HasSubstr(GetParam().logged));
  EXPECT_EQ(Calls().renders, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PdfBitmapFailureTest,
    ::testing::ValuesIn(std::vector<BitmapFailureCase>{
        {"OverTheBudget", 14400, 200,
         "ERROR PDF: Error during creating Bitmap. GetLastError = 12, PageWidth = 40000 pixels, PageHeight: 40000 pixels\n"},
        {"ZeroResolution", 612, 0,
         "ERROR PDF: Error during creating Bitmap. GetLastError = 22, PageWidth = 0 pixels, PageHeight: 0 pixels\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PdfRendererTest, MissingLibraryFailsEveryPdfPageBeforeAnyCall) {
  const std::string empty = Path("no-library");
  std::filesystem::create_directories(empty);
  SetPdfLibraryFolder(empty);
  const std::string first = Write("first.pdf", {PageSpec{}});
  const std::string second = Write("second.pdf", {PageSpec{}});

  EXPECT_THROW(RenderPdfPage(pdf_, image_, first, 0, 50), ImageLoadException);
  EXPECT_THROW(RenderPdfPage(pdf_, image_, second, 0, 50), ImageLoadException);
  EXPECT_FALSE(GetPdfLibrary()->IsUsable());
  EXPECT_EQ(Calls().opens, 0);
  EXPECT_THAT(LogText(), HasSubstr("ERROR PDF: The PDF library is not available: " + empty + "/libFileFormats.so"));
  EXPECT_THAT(LogText(), Not(HasSubstr("Error during opening file")));

  // Released, the object is made again, here from the build's library.
  ReleasePdfLibrary();
  SetPdfLibraryFolder(PDF_LIBRARY_FOLDER);
  RenderPdfPage(pdf_, image_, first, 0, 50);
  EXPECT_TRUE(image_.IsValid());
}

TEST_F(PdfRendererTest, IncompleteLibraryIsNeverCalled) {
  // This library lacks DPLDARenderPageToDC, and aborts when its DPLCreateLibrary is called.
  SetPdfLibraryFolder(INCOMPLETE_PDF_LIBRARY_FOLDER);
  EXPECT_FALSE(GetPdfLibrary()->IsUsable());
  EXPECT_THAT(GetPdfLibrary()->FailureReason(), HasSubstr("has no function DPLDARenderPageToDC"));
  EXPECT_THROW(RenderPdfPage(pdf_, image_, Write("page.pdf", {PageSpec{}}), 0, 50), ImageLoadException);
}

// Documents opened before the source was closed keep their library until they are closed.
TEST_F(PdfRendererTest, OpenDocumentOutlivesTheReleaseOfTheLibraryObject) {
  const std::string path = Write("three.pdf", ThreeColouredPages());
  RenderPdfPage(pdf_, image_, path, 0, 20);
  const std::shared_ptr<PdfLibrary> before = GetPdfLibrary();
  ReleasePdfLibrary();

  RenderPdfPage(pdf_, image_, path, 1, 20);
  EXPECT_EQ(ImagePixel(image_, 60, 80), kGreenPixel);
  EXPECT_EQ(before->Calls().renders, 2);
  EXPECT_NE(GetPdfLibrary(), before);
  ClosePdfDocument(pdf_);
  EXPECT_EQ(before->Calls().closes, 1);
  EXPECT_EQ(GetPdfLibrary()->Calls().opens, 0);
}

// File names reach the library as UTF-16: any Unicode name works, and so does a name whose
// bytes are no text at all, as Linux file names may be.
TEST_F(PdfRendererTest, FileNamesTravelWhateverTheirBytes) {
  const std::string unicode = Write("\xc3\x9c" "bersicht \xe6\x96\x87\xe6\x9b\xb8 \xf0\x9f\x93\x84.pdf", {PageSpec{}});
  RenderPdfPage(pdf_, image_, unicode, 0, 72);
  EXPECT_EQ(image_.GetWidth(), 612u);

  for (const char* name : {"scan-\xff.pdf", "Re\xe7u \xc3.pdf", "\xed\xa0\x80 surrogate.pdf"}) {
    SCOPED_TRACE(name);
    const std::string bytes = Path(name);
    PageSpec small;
    small.width = 200;
    small.height = 100;
    WritePdf(bytes, {small});
    RenderPdfPage(pdf_, image_, bytes, 0, 72);
    EXPECT_EQ(image_.GetWidth(), 200u);
  }
  EXPECT_EQ(Calls().opens, 4);
}

}  // namespace
