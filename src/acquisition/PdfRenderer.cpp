#include "acquisition/PdfRenderer.h"

#include <climits>
#include <cmath>
#include <string>
#include <utility>

#include "acquisition/ImageLoadException.h"
#include "imaging/CxImage.h"
#include "platform/Bitmap.h"
#include "platform/StringConversion.h"

namespace {

constexpr double kPointsPerInch = 72.0;

// Pixels for a length in points at a resolution, truncated. A page so large (or so broken) that
// the count leaves the range of int is clamped, so that the bitmap refuses it by its size rather
// than the conversion overflowing.
int32_t PixelsFor(double points, int resolution) {
  const double pixels = resolution * points / kPointsPerInch;
  if (!(pixels > 0.0)) return 0;  // NaN too
  if (pixels >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  return static_cast<int32_t>(pixels);
}

std::string Narrow(const std::u16string& text) {
  try {
    return platform::WideToNarrow(text);
  } catch (const platform::StringConversionError&) {
    return "(text not convertible)";
  }
}

}  // namespace

PdfDocument::~PdfDocument() { ClosePdfDocument(*this); }

void ClosePdfDocument(PdfDocument& pdf) {
  if (pdf.IsOpen()) pdf.library_->CloseFile(pdf.document_);
  pdf.library_.reset();
  pdf.path_.clear();
  pdf.document_ = 0;
  pdf.pageCount_ = 0;
  pdf.page_ = 0;
  pdf.pageIndex_ = -1;
}

namespace {

struct OpenedDocument {
  std::shared_ptr<PdfLibrary> library;
  DplHandle document = 0;
  int32_t pageCount = 0;
};

// Opens the document of `path`. Throws ImageLoadException on failure, with nothing left open.
OpenedDocument OpenDocument(const Logger& log, const std::string& path) {
  std::shared_ptr<PdfLibrary> library = GetPdfLibrary();
  if (!library->IsUsable()) {
    log.Error("The PDF library is not available: %s", library->FailureReason());
    throw ImageLoadException(std::string("the PDF library is not available: ") + library->FailureReason());
  }
  // The name goes as it is on disk, whether or not it is UTF-8.
  const DplHandle document = library->OpenFile(platform::FileNameToWide(path), u"");
  if (document == 0) {
    log.Error("Error during opening file. LastErrorCode = %d", library->LastErrorCode());
    const std::string reason = Narrow(library->LastRenderError());
    log.Error("PDF library: %s", reason);
    throw ImageLoadException("the PDF library cannot open it: " + reason);
  }
  const int32_t pageCount = library->GetPageCount(document);
  if (pageCount <= 0) {
    log.Error("Error during getting page count. LastErrorCode = %d", library->LastErrorCode());
    const std::string reason = Narrow(library->LastRenderError());
    log.Error("PDF library: %s", reason);
    // Closed at once: it would otherwise stay open with no holder to close it.
    library->CloseFile(document);
    throw ImageLoadException("the PDF library finds no page in it: " + reason);
  }
  return {std::move(library), document, pageCount};
}

}  // namespace

void RenderPdfPage(PdfDocument& pdf, CxImage& image, const std::string& path, int32_t index, int resolution) {
  const Logger& log = pdf.log_;
  // The page held goes first: a page in memory and the one being drawn are enough.
  image.Destroy();

  if (!pdf.IsOpen() || pdf.path_ != path) {
    // One document per holder: another file's is closed, or it would stay open for good.
    ClosePdfDocument(pdf);
    OpenedDocument opened = OpenDocument(log, path);
    pdf.library_ = std::move(opened.library);
    pdf.path_ = path;
    pdf.document_ = opened.document;
    pdf.pageCount_ = opened.pageCount;
  }
  PdfLibrary& library = *pdf.library_;

  if (index != pdf.pageIndex_) {
    const DplHandle page = library.FindPage(pdf.document_, index + 1);
    if (page == 0) {
      log.Error("LastErrorCode = %d", library.LastErrorCode());
      throw ImageLoadException("the document has no page " + std::to_string(index + 1) + " of " +
                               std::to_string(pdf.pageCount_));
    }
    pdf.page_ = page;
    pdf.pageIndex_ = index;
  }

  double width = library.GetPageWidth(pdf.document_, pdf.page_);
  double height = library.GetPageHeight(pdf.document_, pdf.page_);
  const int32_t rotation = library.PageRotation(pdf.document_, pdf.page_);
  if (rotation == 90 || rotation == 270) std::swap(width, height);
  const int32_t pixelWidth = PixelsFor(width, resolution);
  const int32_t pixelHeight = PixelsFor(height, resolution);

  // The context is declared first so that the bitmap, which is selected into it, goes first.
  platform::MemoryDeviceContext context = platform::MemoryDeviceContext::CreateCompatible();
  if (!context.IsValid()) {
    log.Error("Error creating MemDC GetLastError = %d", platform::LastDrawingError());
    throw ImageLoadException("no drawing context for the page");
  }
  platform::BitmapSection bitmap = platform::BitmapSection::Create(pixelWidth, -pixelHeight, 24);
  if (!bitmap.IsValid()) {
    log.Error("Error during creating Bitmap. GetLastError = %d, PageWidth = %d pixels, PageHeight: %d pixels",
              platform::LastDrawingError(), pixelWidth, pixelHeight);
    throw ImageLoadException("no bitmap of " + std::to_string(pixelWidth) + " x " + std::to_string(pixelHeight) +
                             " pixels for the page");
  }
  if (!context.Select(bitmap)) {
    log.Error("Error selecting Bitmap. GetLastError = %d", platform::LastDrawingError());
    throw ImageLoadException("the page's bitmap cannot be drawn into");
  }
  if (!library.RenderPageToDC(pdf.document_, pdf.page_, resolution, context.Handle())) {
    const std::string reason = Narrow(library.LastRenderError());
    log.Error("DARenderPageToDC failed with LastRenderError = %s", reason);
    throw ImageLoadException("the PDF library cannot draw the page: " + reason);
  }
  if (!image.CreateFromBitmapHandle(bitmap)) {
    log.Error("Error creating CxImage from HBITMAP");
    throw ImageLoadException(std::string("the drawn page cannot be taken as an image: ") + image.GetLastError());
  }
  image.SetXDPI(resolution);
  image.SetYDPI(resolution);
  log.Debug("Successfully created CxImage with Resolution %d from file %s PageNumber = %d", resolution, path, index);
}
