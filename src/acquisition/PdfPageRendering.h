#pragma once

#include <cstdint>
#include <string>

class ScanImage;

// Pages of PDF files are rendered by the PDF library, not decoded. The holder keeps its
// document open between pages of the same file (ScanImage::PdfState).

// Renders page `index` (0 = first) of `path` into the holder's image, at the resolution the
// settings give. Throws ImageLoadException on any failure.
void RenderPdfPage(ScanImage& holder, const std::string& path, int32_t index);

// Closes the document the holder keeps open; called by the holder's destructor.
void ClosePdfDocument(ScanImage& holder);
