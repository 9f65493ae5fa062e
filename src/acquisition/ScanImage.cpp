#include "acquisition/ScanImage.h"

#include "acquisition/ImageFileNames.h"
#include "acquisition/ImageLoadException.h"
#include "platform/FileSystem.h"
#include "settings/SettingsStore.h"
#include "twain/twain.h"

ScanImage::ScanImage(const SettingsStore& settings) : settings_(settings) {}

ScanImage::~ScanImage() {
  if (pdf_.IsOpen()) ClosePdfDocument(pdf_);
}

void ScanImage::Load(const std::string& path, int32_t page) {
  logger_.Debug("Loading page: %d, file: %s", page, path);
  try {
    // A FIFO, socket or device under an image file's name would block the reader or feed it
    // endless bytes: only regular files are opened.
    if (!platform::RegularFileExists(path)) throw ImageLoadException("not a regular file");
    if (IsPdfFile(path)) {
      isPdf_ = true;
      RenderPdfPage(pdf_, image_, path, page, settings_.GetPDFRenderResolution());
    } else {
      isPdf_ = false;
      // The page held is of no use any more: dropping it first keeps one page in memory.
      image_.Destroy();
      image_.SetFrame(page);
      if (!image_.LoadFile(path, ImageFormat::Unknown)) throw ImageLoadException(image_.GetLastError());
    }
  } catch (const ImageLoadException& failure) {
    logger_.Error("FAILED to Load page: %d, file: %s: %s", page, path,
                  failure.Reason().empty() ? "reason unknown" : failure.Reason());
    throw;
  } catch (...) {
    logger_.Error("FAILED to Load page: %d, file: %s", page, path);
    throw;
  }
  logger_.Debug("Loaded page: %d, file: %s", page, path);
  path_ = path;
  page_ = page;
  rowsTransferred_ = 0;
}

int32_t ScanImage::PageCount() const { return isPdf_ ? pdf_.PageCount() : image_.GetNumFrames(); }

uint16_t ScanImage::PixelType() const {
  if (image_.GetBpp() == 1) return TWPT_BW;
  if (image_.IsGrayRamp()) return TWPT_GRAY;
  if (image_.GetBpp() <= 8) return TWPT_PALETTE;
  return TWPT_RGB;
}

uint16_t ScanImage::Flavor() const {
  if (image_.GetNumColors() == 0) return TWPF_CHOCOLATE;
  const RgbQuad first = image_.GetPaletteColor(0);
  return first.red != 0 || first.green != 0 || first.blue != 0 ? TWPF_VANILLA : TWPF_CHOCOLATE;
}

const char* ScanImage::PixelTypeName(uint16_t pixelType) {
  switch (pixelType) {
    case TWPT_BW: return "TWPT_BW";
    case TWPT_GRAY: return "TWPT_GRAY";
    case TWPT_RGB: return "TWPT_RGB";
    case TWPT_PALETTE: return "TWPT_PALETTE";
    default: return "TWPT_UNKNOWN";
  }
}
