#include "acquisition/PdfPageRendering.h"

#include "acquisition/ImageLoadException.h"
#include "acquisition/ScanImage.h"

// No PDF renderer is connected yet: a PDF page fails like a damaged file, and the loading
// loop skips it.
void RenderPdfPage(ScanImage&, const std::string&, int32_t) { throw ImageLoadException(); }

void ClosePdfDocument(ScanImage& holder) { holder.PdfState() = PdfDocumentState{}; }
