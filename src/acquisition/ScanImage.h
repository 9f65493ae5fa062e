#pragma once

#include <cstdint>
#include <string>

#include "acquisition/PdfRenderer.h"
#include "imaging/CxImage.h"
#include "logging/Logger.h"

class SettingsStore;

// What the application negotiated for the pages it receives (the current capability values).
struct NegotiatedFormat {
  uint16_t pixelType = 0;    // TWPT_ value
  uint16_t bitDepth = 1;
  uint16_t pixelFlavor = 0;  // TWPF_ value
  double xResolution = 0.0;  // dots per inch
  double yResolution = 0.0;
};

// One decoded page together with the file and page it came from, and the two passes that turn
// it into the page the application receives: ImageProcessing (the enhancements chosen by the
// user) and Prepare (the format the application negotiated).
//
// Each step that changes the picture builds one new image and swaps it in, so at most two
// copies of a page exist at a time. Not thread-safe: one thread at a time uses one object.
class ScanImage {
 public:
  // `settings` (read at every load: the PDF resolution) must outlive the object.
  explicit ScanImage(const SettingsStore& settings);
  ScanImage(const ScanImage&) = delete;
  ScanImage& operator=(const ScanImage&) = delete;
  // Closes the PDF document when one is open.
  virtual ~ScanImage();

  // Decodes page `page` (0 = first) of a file; PDF files (by extension) are rendered at
  // PDFRenderResolution, keeping the document open for the next page of the same file. The
  // format of other files is detected from their content. Throws ImageLoadException when the
  // page cannot be had; the image is then empty.
  void Load(const std::string& path, int32_t page);

  // Pages of the file: the PDF's page count, else the decoder's frame count (0 when it reports
  // none).
  int32_t PageCount() const;
  int32_t Page() const { return page_; }
  const std::string& Path() const { return path_; }
  CxImage& Image() { return image_; }
  const CxImage& Image() const { return image_; }
  bool IsPdf() const { return isPdf_; }

  // TWPT_BW for 1 bit, TWPT_GRAY for a gray ramp, TWPT_PALETTE up to 8 bits, else TWPT_RGB.
  uint16_t PixelType() const;
  // TWPF_VANILLA when palette entry 0 is not black, else (and without palette) TWPF_CHOCOLATE.
  uint16_t Flavor() const;

  // The enhancements, with the settings as they are now.
  void ImageProcessing(const SettingsStore& settings);
  // Flavor of 1-bit pages, then (when forced) pixel type and depth, then (when asked) the
  // resolution; finally the row length of the memory transfer.
  void Prepare(bool forcePixelType, const NegotiatedFormat& format, bool fixResolution);

  // Bytes of one row as the memory transfer hands it out: whole bytes, padded to 4.
  int32_t BytesPerRow() const { return bytesPerRow_; }
  // Rows the memory transfer has handed out from this page; 0 after every load.
  int32_t RowsTransferred() const { return rowsTransferred_; }
  void SetRowsTransferred(int32_t rows) { rowsTransferred_ = rows; }
  // Whether every row of the page has reached the application, by whichever mechanism.
  bool WentOutWhole() const {
    return image_.IsValid() && int64_t{rowsTransferred_} >= int64_t{image_.GetHeight()};
  }

  static const char* PixelTypeName(uint16_t pixelType);

 private:
  void Binarise(const SettingsStore& settings);
  void ScaleTo(int32_t width, int32_t height);
  void ConvertFlavor(uint16_t flavor);
  void ConvertPixelType(uint16_t pixelType, uint16_t bitDepth);
  void FixResolution(double requestedX, double requestedY);

  const SettingsStore& settings_;
  std::string path_;
  CxImage image_;
  bool isPdf_ = false;
  PdfDocument pdf_;
  int32_t page_ = -1;
  int32_t rowsTransferred_ = 0;
  int32_t bytesPerRow_ = 0;
  Logger logger_{"ScanImage", "ScanImage"};
};
