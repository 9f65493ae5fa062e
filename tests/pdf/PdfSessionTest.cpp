// The source lets the PDF library go when the application closes it.

#include <gtest/gtest.h>

#include <memory>

#include "acquisition/PdfLibrary.h"
#include "acquisition/PdfRenderer.h"
#include "imaging/CxImage.h"
#include "pdf/PdfWriter.h"
#include "twain/InProcessSource.h"

namespace {

class PdfSessionTest : public twain_test::InProcessSource {
 protected:
  PdfSessionTest() { SetPdfLibraryFolder(PDF_LIBRARY_FOLDER); }
  ~PdfSessionTest() override {
    ReleasePdfLibrary();
    SetPdfLibraryFolder("");
  }
  TW_UINT16 Close() { return Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr); }
};

TEST_F(PdfSessionTest, ClosingTheSourceReleasesThePdfLibraryAndOpenDocumentsKeepTheirs) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  const std::string path = (environment.Temp() / "two.pdf").string();
  test_pdf::WritePdf(path, {test_pdf::PageSpec{}, test_pdf::PageSpec{}});
  PdfDocument document;
  CxImage image;
  RenderPdfPage(document, image, path, 0, 20);
  std::weak_ptr<PdfLibrary> used = GetPdfLibrary();

  ASSERT_EQ(Close(), TWRC_SUCCESS);
  EXPECT_NE(GetPdfLibrary(), used.lock());
  // The open document still draws with the library that opened it, which goes with it.
  RenderPdfPage(document, image, path, 1, 20);
  EXPECT_TRUE(image.IsValid());
  ClosePdfDocument(document);
  EXPECT_TRUE(used.expired());
}

TEST_F(PdfSessionTest, RefusedCloseStillReleasesThePdfLibrary) {
  std::weak_ptr<PdfLibrary> used = GetPdfLibrary();
  EXPECT_EQ(Close(), TWRC_FAILURE);  // never opened: state 3
  EXPECT_TRUE(used.expired());
}

}  // namespace
