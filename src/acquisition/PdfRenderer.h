#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "acquisition/PdfLibrary.h"
#include "logging/Logger.h"

class CxImage;

// The open PDF document of a page holder (ScanImage): opened with the first page rendered from
// its file, kept for the following pages of that file, closed by ClosePdfDocument or when the
// holder dies. The page handle is looked up again only when the page index changes. Holds the
// library object that opened the document, so the handles never outlive their library.
// One thread at a time.
class PdfDocument {
 public:
  PdfDocument() = default;
  PdfDocument(const PdfDocument&) = delete;
  PdfDocument& operator=(const PdfDocument&) = delete;
  ~PdfDocument();

  bool IsOpen() const { return document_ != 0; }
  // Pages of the open document, 0 when none is open.
  int32_t PageCount() const { return pageCount_; }
  // The file of the open document, empty when none is open.
  const std::string& Path() const { return path_; }

 private:
  friend void RenderPdfPage(PdfDocument& pdf, CxImage& image, const std::string& path, int32_t index, int resolution);
  friend void ClosePdfDocument(PdfDocument& pdf);

  std::shared_ptr<PdfLibrary> library_;
  std::string path_;
  DplHandle document_ = 0;
  int32_t pageCount_ = 0;
  DplHandle page_ = 0;
  int32_t pageIndex_ = -1;  // the index `page_` was looked up for
  Logger log_{"PDF", "ScanImage"};
};

// Renders page `index` (0 = first) of the PDF file `path` at `resolution` dots per inch into
// `image`, as a 24-bit picture with that resolution, opening the file's document first unless
// it is the one open (another file's document is closed). Throws ImageLoadException on any
// failure, after logging why; `image` is then empty, and the document stays open only when the
// file opened, so a file that failed to open is tried again on the next request.
void RenderPdfPage(PdfDocument& pdf, CxImage& image, const std::string& path, int32_t index, int resolution);

// Closes the open document, if any.
void ClosePdfDocument(PdfDocument& pdf);
