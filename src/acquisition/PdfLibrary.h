#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "logging/Logger.h"
#include "platform/Bitmap.h"  // the drawing surface and, with it, the library's C interface
#include "platform/Module.h"

// Calls made through one library object, by kind: what a page costs shows here.
struct PdfLibraryCalls {
  int opens = 0;
  int closes = 0;
  int pageLookups = 0;
  int renders = 0;
};

// The PDF library libFileFormats.so: the module loaded from the data source's own folder, the
// instance it made for us, and one entry point per function. A library that cannot be loaded,
// or lacks a function, makes an object that is not usable (IsUsable() false, FailureReason()
// says why) and on which nothing is ever called.
//
// The library serialises calls on its instance; the object itself is used by one loading thread
// at a time, and its call counts are not synchronised beyond that.
class PdfLibrary {
 public:
  static constexpr const char* kFileName = "libFileFormats.so";

  // Loads `folder`/libFileFormats.so and creates the library's instance.
  explicit PdfLibrary(const std::string& folder);
  // Releases the instance, then unloads the module.
  ~PdfLibrary();
  PdfLibrary(const PdfLibrary&) = delete;
  PdfLibrary& operator=(const PdfLibrary&) = delete;

  bool IsUsable() const { return failure_.empty(); }
  const std::string& FailureReason() const { return failure_; }
  const std::string& Path() const { return path_; }

  // The library's functions for our instance; see FileFormatsApi.h. Only on a usable object.
  DplHandle OpenFile(const std::u16string& path, const std::u16string& password);
  void CloseFile(DplHandle document);
  int32_t GetPageCount(DplHandle document);
  DplHandle FindPage(DplHandle document, int32_t pageNumber);
  double GetPageWidth(DplHandle document, DplHandle page);
  double GetPageHeight(DplHandle document, DplHandle page);
  int32_t PageRotation(DplHandle document, DplHandle page);
  bool RenderPageToDC(DplHandle document, DplHandle page, double resolution, DplDeviceContext* dc);
  int32_t LastErrorCode();
  // The text of the last failure, of the length the library reports for it.
  std::u16string LastRenderError();

  const PdfLibraryCalls& Calls() const { return calls_; }

 private:
  template <typename Function>
  void Bind(Function& entry, const char* name);

  platform::Module module_;
  std::string path_;
  std::string failure_;
  DplInstance instance_ = 0;
  PdfLibraryCalls calls_;
  Logger log_{"PDF", "ScanImage"};

  decltype(&DPLCreateLibrary) createLibrary_ = nullptr;
  decltype(&DPLReleaseLibrary) releaseLibrary_ = nullptr;
  decltype(&DPLDAOpenFile) openFile_ = nullptr;
  decltype(&DPLDACloseFile) closeFile_ = nullptr;
  decltype(&DPLDAGetPageCount) getPageCount_ = nullptr;
  decltype(&DPLDAFindPage) findPage_ = nullptr;
  decltype(&DPLDAGetPageWidth) getPageWidth_ = nullptr;
  decltype(&DPLDAGetPageHeight) getPageHeight_ = nullptr;
  decltype(&DPLDAPageRotation) pageRotation_ = nullptr;
  decltype(&DPLDARenderPageToDC) renderPageToDC_ = nullptr;
  decltype(&DPLLastErrorCode) lastErrorCode_ = nullptr;
  decltype(&DPLLastRenderError) lastRenderError_ = nullptr;
  decltype(&DPLStringResultLength) stringResultLength_ = nullptr;
};

// The process's library object, made on first use (and then the same object until released).
// Never nullptr; check IsUsable(). Thread-safe.
std::shared_ptr<PdfLibrary> GetPdfLibrary();

// Drops the process's library object, when the application closes the source and when the
// source is unloaded; the next use makes a new one. Documents still open keep the object that
// opened them alive until they are closed, so their handles never outlive their library.
void ReleasePdfLibrary();

// The folder the library is loaded from at the next first use: empty (the default) means the
// folder of the module that holds this code, velloran.ds. Tests that link this code into their
// own executable point it at the build's bin folder, or at an empty one.
void SetPdfLibraryFolder(std::string folder);
