#pragma once

#include <poppler-image.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "FileFormatsApi.h"

namespace poppler {
class document;
class page;
}  // namespace poppler

namespace fileformats {

// One library instance: its open documents and pages, and the record of its last call.
// Every public operation records its result (see FileFormatsApi.h); the caller holds Lock()
// around each call.
class PdfInstance {
 public:
  PdfInstance();
  ~PdfInstance();
  PdfInstance(const PdfInstance&) = delete;
  PdfInstance& operator=(const PdfInstance&) = delete;

  std::mutex& Lock() { return mutex_; }

  DplHandle OpenFile(const char16_t* path, const char16_t* password);
  void CloseFile(DplHandle document);
  int32_t PageCount(DplHandle document);
  DplHandle FindPage(DplHandle document, int32_t pageNumber);
  double PageWidth(DplHandle document, DplHandle page);
  double PageHeight(DplHandle document, DplHandle page);
  int32_t PageRotation(DplHandle document, DplHandle page);
  bool RenderPage(DplHandle document, DplHandle page, double resolution, DplDeviceContext* dc);

  // Records a failure that happened outside the operations (an exception caught at the export).
  void RecordFailure(int code, std::string text) { Fail(code, std::move(text)); }

  int32_t LastErrorCode() const { return errorCode_; }
  // The text of the last failure; remembers its length for LastTextLength().
  const char16_t* LastErrorText();
  int32_t LastTextLength() const { return textLength_; }

 private:
  struct Document;
  struct PageEntry;

  void Succeed();
  void Fail(int code, std::string text);
  Document* FindDocument(DplHandle document);
  // The page `page` of `document`; records the failure and returns nullptr when either is unknown.
  const poppler::page* FindPageOf(DplHandle document, DplHandle page, Document** owner = nullptr);

  std::mutex mutex_;
  std::map<DplHandle, std::unique_ptr<Document>> documents_;
  // The renderer's last picture, kept until the next page is drawn or the instance is released.
  // The renderer frees its blocks for a page (picture, working bitmap, alpha plane) together at
  // the top of the C heap, which then hands them back to the system, and the next page faults
  // as much memory in again: some 14,000 page faults for a letter page at 300 dpi. A block kept
  // above them stops that: the next page reuses them.
  poppler::image lastPicture_;
  DplHandle nextHandle_ = 1;
  int32_t errorCode_ = DPL_OK;
  std::u16string errorText_;
  int32_t textLength_ = 0;
};

}  // namespace fileformats
