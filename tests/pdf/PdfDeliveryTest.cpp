// PDF pages through the source's page loading: the page holder, the open file and the pending
// list, over the build's real libFileFormats.so.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "acquisition/NextImageLoader.h"
#include "acquisition/PendingImagesList.h"
#include "acquisition/ScanImage.h"
#include "imaging/CxImage.h"
#include "pdf/PdfTestEnvironment.h"
#include "twain/twain.h"

namespace {

using namespace test_pdf;
using ::testing::HasSubstr;

Bgr ImagePixel(const CxImage& image, uint32_t x, uint32_t y) {
  return PixelAt(image.GetBits(image.GetHeight() - 1 - y), static_cast<int32_t>(x));
}

class PdfPageHolderTest : public PdfTestEnvironment {};

// The page holder reads the resolution from the settings at every load.
TEST_F(PdfPageHolderTest, RendersAtTheResolutionOfTheSettings) {
  WriteSettings("[General]\nPDFRenderResolution=300\n");
  PageSpec page;
  page.boxes.push_back({0, 0, 72, 72, kRed});
  const std::string path = Write("letter.pdf", {page});

  ScanImage holder(settings_);
  holder.Load(path, 0);
  EXPECT_TRUE(holder.IsPdf());
  EXPECT_EQ(holder.PageCount(), 1);
  EXPECT_EQ(holder.Image().GetWidth(), 2550u);
  EXPECT_EQ(holder.Image().GetHeight(), 3300u);
  EXPECT_EQ(holder.Image().GetXDPI(), 300);
  EXPECT_EQ(holder.Image().GetYDPI(), 300);
  EXPECT_EQ(ImagePixel(holder.Image(), 150, 150), kRedPixel);

  WriteSettings("[General]\nPDFRenderResolution=72\n");
  holder.Load(path, 0);
  EXPECT_EQ(holder.Image().GetWidth(), 612u);
  EXPECT_EQ(Calls().opens, 1);
}

class PdfDeliveryTest : public PdfTestEnvironment {
 protected:
  PdfDeliveryTest() { WriteSettings("[General]\nPDFRenderResolution=20\n"); }

  void Queue(const std::vector<std::string>& paths) {
    std::vector<FileListEntry> entries;
    for (const std::string& path : paths) entries.emplace_back(path);
    list_.ReplaceEntries(entries);
    list_.Init(false, false, std::make_unique<LoopCounter>(false, 0), /*clear=*/false);
  }
  bool LoadNext() { return loader_.LoadNextImage(NegotiatedFormat{TWPT_RGB, 24, TWPF_CHOCOLATE, 20, 20}, {}); }
  std::string WritePng(const std::string& name) const {
    CxImage picture;
    EXPECT_TRUE(picture.Create(30, 20, 24));
    EXPECT_TRUE(picture.SaveFile(Path(name), ImageFormat::Png));
    return Path(name);
  }
  // The delivered files and pages, in order, until the list is exhausted.
  std::vector<std::pair<std::string, int32_t>> DeliverAll() {
    std::vector<std::pair<std::string, int32_t>> delivered;
    while (delivered.size() < 20 && LoadNext()) {
      delivered.emplace_back(loader_.OpenFile()->Path(), loader_.OpenFile()->CurrentPage());
    }
    return delivered;
  }

  PendingImagesList list_;
  NextImageLoader loader_{list_, settings_};
};

TEST_F(PdfDeliveryTest, ThreePageDocumentIsOpenedOnceAndClosedWhenTheFileIsReleased) {
  const std::string path = Write("three.pdf", ThreeColouredPages());
  Queue({path});

  const Bgr expected[] = {kRedPixel, kGreenPixel, kBluePixel};
  for (int32_t page = 0; page < 3; ++page) {
    SCOPED_TRACE(page);
    ASSERT_TRUE(LoadNext());
    EXPECT_EQ(loader_.OpenFile()->PageCount(), 3);
    EXPECT_EQ(loader_.OpenFile()->CurrentPage(), page);
    EXPECT_EQ(ImagePixel(loader_.CurrentImage()->Image(), 80, 100), expected[page]);
  }
  EXPECT_EQ(Calls().opens, 1);
  EXPECT_EQ(Calls().pageLookups, 3);
  EXPECT_EQ(Calls().renders, 3);
  EXPECT_EQ(Calls().closes, 0);

  EXPECT_FALSE(LoadNext());
  EXPECT_EQ(loader_.OpenFile(), nullptr);
  EXPECT_EQ(Calls().closes, 1);
}

TEST_F(PdfDeliveryTest, LockedAndDamagedDocumentsAreSkippedAndTriedAgainNextTime) {
  WritePdf(Path("plain.pdf"), {PageSpec{}});
  WriteLockedCopy(Path("plain.pdf"), Path("locked.pdf"), "secret");
  WriteDamagedPdf(Path("damaged.pdf"));
  const std::string picture = WritePng("picture.png");
  Queue({Path("locked.pdf"), Path("damaged.pdf"), picture});

  using Delivered = std::vector<std::pair<std::string, int32_t>>;
  EXPECT_EQ(DeliverAll(), (Delivered{{picture, 0}}));
  const std::string log = LogText();
  EXPECT_THAT(log, HasSubstr("ERROR PDF: Error during opening file. LastErrorCode = " +
                             std::to_string(DPL_ERROR_PASSWORD) + "\n"));
  EXPECT_THAT(log, HasSubstr("ERROR PDF: Error during opening file. LastErrorCode = " +
                             std::to_string(DPL_ERROR_DAMAGED) + "\n"));
  EXPECT_THAT(log, HasSubstr("ERROR ScanImage: FAILED to Load page: 0, file: " + Path("locked.pdf") +
                             ": the PDF library cannot open it: '" + Path("locked.pdf") +
                             "' is protected by a password\n"));
  EXPECT_THAT(log, HasSubstr("ERROR ScanImage: FAILED to Load page: 0, file: " + Path("damaged.pdf") +
                             ": the PDF library cannot open it: '" + Path("damaged.pdf") +
                             "' is not a PDF document or is too damaged to read"));
  EXPECT_EQ(Calls().opens, 2);

  // The next batch asks again; the damaged file has been mended meanwhile.
  WritePdf(Path("damaged.pdf"), {PageSpec{}, PageSpec{}});
  Queue({Path("locked.pdf"), Path("damaged.pdf"), picture});
  EXPECT_EQ(DeliverAll(), (Delivered{{Path("damaged.pdf"), 0}, {Path("damaged.pdf"), 1}, {picture, 0}}));
  EXPECT_EQ(Calls().opens, 4);
}

TEST_F(PdfDeliveryTest, WithoutThePdfLibraryEveryPdfPageFailsAndOtherFilesStillLoad) {
  std::filesystem::create_directories(Path("empty-folder"));
  SetPdfLibraryFolder(Path("empty-folder"));
  const std::string first = Write("first.pdf", {PageSpec{}});
  const std::string png = WritePng("picture.png");
  const std::string second = Write("second.pdf", ThreeColouredPages());
  CxImage page;
  ASSERT_TRUE(page.Create(40, 10, 24));
  ASSERT_TRUE(page.SaveFile(Path("page.tif"), ImageFormat::Tiff));
  Queue({first, png, second, Path("page.tif")});

  using Delivered = std::vector<std::pair<std::string, int32_t>>;
  EXPECT_EQ(DeliverAll(), (Delivered{{png, 0}, {Path("page.tif"), 0}}));
  EXPECT_THAT(LogText(), HasSubstr("ERROR ScanImage: FAILED to Load page: 0, file: " + first +
                                   ": the PDF library is not available: "));
  EXPECT_THAT(LogText(), HasSubstr("ERROR ScanImage: FAILED to Load page: 0, file: " + second +
                                   ": the PDF library is not available: "));
  EXPECT_FALSE(GetPdfLibrary()->IsUsable());
}

}  // namespace
