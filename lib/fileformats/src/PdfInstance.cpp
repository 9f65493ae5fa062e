#include "PdfInstance.h"

#include <poppler-document.h>
#include <poppler-page.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "PageRasterizer.h"
#include "PopplerMessages.h"
#include "TextConversion.h"

namespace fileformats {
namespace {

// Beyond this a page is no longer a page: the bitmap could not hold it anyway.
constexpr double kMaxResolution = 100000.0;

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Why the file at `path` cannot be read, or "" when it can.
std::string UnreadableReason(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return "it is a folder";
  // Opening a FIFO would wait for a writer for ever, and a device never ends.
  if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error))
    return "it is not a regular file";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::strerror(errno);
  std::fclose(file);
  return {};
}

}  // namespace

struct PdfInstance::PageEntry {
  std::unique_ptr<poppler::page> page;
  int32_t number = 0;
};

// Members in this order so that the pages, which point into the document, go first.
struct PdfInstance::Document {
  std::string path;
  std::unique_ptr<poppler::document> pdf;
  std::map<DplHandle, PageEntry> pages;
  std::map<int32_t, DplHandle> handleOfPage;
};

PdfInstance::PdfInstance() = default;
PdfInstance::~PdfInstance() = default;

void PdfInstance::Succeed() {
  errorCode_ = DPL_OK;
  errorText_.clear();
}

void PdfInstance::Fail(int code, std::string text) {
  errorCode_ = code;
  errorText_ = Utf8ToUtf16(text);
}

const char16_t* PdfInstance::LastErrorText() {
  textLength_ = static_cast<int32_t>(errorText_.size());
  return errorText_.c_str();
}

PdfInstance::Document* PdfInstance::FindDocument(DplHandle document) {
  const auto found = documents_.find(document);
  if (found == documents_.end()) {
    Fail(DPL_ERROR_BAD_DOCUMENT, "document handle " + std::to_string(document) + " is not an open document");
    return nullptr;
  }
  return found->second.get();
}

const poppler::page* PdfInstance::FindPageOf(DplHandle document, DplHandle page, Document** owner) {
  Document* open = FindDocument(document);
  if (open == nullptr) return nullptr;
  const auto found = open->pages.find(page);
  if (found == open->pages.end()) {
    Fail(DPL_ERROR_BAD_PAGE, "page handle " + std::to_string(page) + " is not a page of " + Quoted(open->path));
    return nullptr;
  }
  if (owner != nullptr) *owner = open;
  return found->second.page.get();
}

DplHandle PdfInstance::OpenFile(const char16_t* path, const char16_t* password) {
  if (path == nullptr) {
    Fail(DPL_ERROR_BAD_ARGUMENT, "no file name was given");
    return 0;
  }
  const std::optional<std::string> fileName = Utf16ToFileName(path);
  if (!fileName) {
    Fail(DPL_ERROR_BAD_ARGUMENT, "the file name is not valid UTF-16");
    return 0;
  }
  const std::optional<std::string> secret = password ? Utf16ToUtf8(password) : std::string();
  if (!secret) {
    Fail(DPL_ERROR_BAD_ARGUMENT, "the password for " + Quoted(*fileName) + " is not valid UTF-16");
    return 0;
  }
  if (const std::string reason = UnreadableReason(*fileName); !reason.empty()) {
    Fail(DPL_ERROR_FILE_UNREADABLE, "cannot read " + Quoted(*fileName) + ": " + reason);
    return 0;
  }

  ClearPopplerMessages();
  // The one password may be either the owner's or the user's.
  std::unique_ptr<poppler::document> pdf(poppler::document::load_from_file(*fileName, *secret, *secret));
  if (!pdf) {
    const std::string detail = FirstPopplerMessage();
    Fail(DPL_ERROR_DAMAGED, Quoted(*fileName) + " is not a PDF document or is too damaged to read" +
                                (detail.empty() ? std::string() : " (" + detail + ")"));
    return 0;
  }
  if (pdf->is_locked()) {
    Fail(DPL_ERROR_PASSWORD, secret->empty() ? Quoted(*fileName) + " is protected by a password"
                                             : "the password given for " + Quoted(*fileName) + " is wrong");
    return 0;
  }

  const DplHandle handle = nextHandle_++;
  auto document = std::make_unique<Document>();
  document->path = *fileName;
  document->pdf = std::move(pdf);
  documents_.emplace(handle, std::move(document));
  Succeed();
  return handle;
}

void PdfInstance::CloseFile(DplHandle document) {
  if (FindDocument(document) == nullptr) return;
  documents_.erase(document);
  Succeed();
}

int32_t PdfInstance::PageCount(DplHandle document) {
  Document* open = FindDocument(document);
  if (open == nullptr) return 0;
  const int pages = open->pdf->pages();
  if (pages <= 0) {
    Fail(DPL_ERROR_DAMAGED, Quoted(open->path) + " has no pages");
    return 0;
  }
  Succeed();
  return pages;
}

DplHandle PdfInstance::FindPage(DplHandle document, int32_t pageNumber) {
  Document* open = FindDocument(document);
  if (open == nullptr) return 0;
  if (const auto known = open->handleOfPage.find(pageNumber); known != open->handleOfPage.end()) {
    Succeed();
    return known->second;
  }
  const int pages = open->pdf->pages();
  if (pageNumber < 1 || pageNumber > pages) {
    Fail(DPL_ERROR_NO_SUCH_PAGE, Quoted(open->path) + " has no page " + std::to_string(pageNumber) + " (it has " +
                                     std::to_string(pages) + ")");
    return 0;
  }
  std::unique_ptr<poppler::page> page(open->pdf->create_page(pageNumber - 1));
  if (!page) {
    Fail(DPL_ERROR_DAMAGED, "page " + std::to_string(pageNumber) + " of " + Quoted(open->path) + " cannot be read");
    return 0;
  }
  const DplHandle handle = nextHandle_++;
  open->pages.emplace(handle, PageEntry{std::move(page), pageNumber});
  open->handleOfPage.emplace(pageNumber, handle);
  Succeed();
  return handle;
}

double PdfInstance::PageWidth(DplHandle document, DplHandle page) {
  const poppler::page* found = FindPageOf(document, page);
  if (found == nullptr) return 0.0;
  Succeed();
  return found->page_rect(poppler::crop_box).width();
}

double PdfInstance::PageHeight(DplHandle document, DplHandle page) {
  const poppler::page* found = FindPageOf(document, page);
  if (found == nullptr) return 0.0;
  Succeed();
  return found->page_rect(poppler::crop_box).height();
}

int32_t PdfInstance::PageRotation(DplHandle document, DplHandle page) {
  const poppler::page* found = FindPageOf(document, page);
  if (found == nullptr) return 0;
  Succeed();
  switch (found->orientation()) {
    case poppler::page::portrait:
      return 0;
    case poppler::page::landscape:
      return 90;
    case poppler::page::upside_down:
      return 180;
    case poppler::page::seascape:
      return 270;
  }
  return 0;
}

bool PdfInstance::RenderPage(DplHandle document, DplHandle page, double resolution, DplDeviceContext* dc) {
  Document* owner = nullptr;
  const poppler::page* found = FindPageOf(document, page, &owner);
  if (found == nullptr) return false;
  const std::string where = "page " + std::to_string(owner->pages.at(page).number) + " of " + Quoted(owner->path);
  if (!std::isfinite(resolution) || resolution <= 0.0 || resolution > kMaxResolution) {
    Fail(DPL_ERROR_BAD_ARGUMENT, "cannot draw " + where + " at " + std::to_string(resolution) + " dpi");
    return false;
  }
  if (dc == nullptr || dc->size != sizeof(DplDeviceContext)) {
    Fail(DPL_ERROR_BAD_DEVICE_CONTEXT, "cannot draw " + where + ": no device context was given");
    return false;
  }
  if (dc->selected == nullptr) {
    Fail(DPL_ERROR_BAD_DEVICE_CONTEXT, "cannot draw " + where + ": the device context has no bitmap selected");
    return false;
  }
  if (const std::string problem = CheckBitmap(*dc->selected); !problem.empty()) {
    Fail(DPL_ERROR_BAD_DEVICE_CONTEXT, "cannot draw " + where + ": " + problem);
    return false;
  }
  DrawResult result = DrawPage(*found, resolution, *dc->selected);
  if (result.code != DPL_OK) {
    Fail(result.code, "cannot draw " + where + ": " + result.text);
    return false;
  }
  lastPicture_ = std::move(result.picture);
  Succeed();
  return true;
}

}  // namespace fileformats
