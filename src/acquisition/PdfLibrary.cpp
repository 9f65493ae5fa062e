#include "acquisition/PdfLibrary.h"

#include <mutex>
#include <utility>

#include "platform/NeverDestroyed.h"

namespace {

struct LibraryHolder {
  std::mutex mutex;
  std::shared_ptr<PdfLibrary> library;
  std::string folder;
};

// Never destroyed: at process exit the library and poppler behind it may already have destroyed
// their own statics. The module object releases the library when the source is unloaded.
LibraryHolder& Holder() {
  static platform::NeverDestroyed<LibraryHolder> holder;
  return holder.Get();
}

}  // namespace

template <typename Function>
void PdfLibrary::Bind(Function& entry, const char* name) {
  entry = reinterpret_cast<Function>(module_.Symbol(name));
  if (entry == nullptr && failure_.empty()) failure_ = path_ + " has no function " + name;
}

PdfLibrary::PdfLibrary(const std::string& folder) {
  path_ = (folder.empty() || folder.back() == '/' ? folder : folder + "/") + kFileName;
  module_ = platform::Module::Load(path_);
  if (!module_.IsLoaded()) {
    failure_ = platform::LastModuleError();
    if (failure_.empty()) failure_ = "cannot load " + path_;
    log_.Error("Cannot load the PDF library: %s", failure_);
    return;
  }
  Bind(createLibrary_, "DPLCreateLibrary");
  Bind(releaseLibrary_, "DPLReleaseLibrary");
  Bind(openFile_, "DPLDAOpenFile");
  Bind(closeFile_, "DPLDACloseFile");
  Bind(getPageCount_, "DPLDAGetPageCount");
  Bind(findPage_, "DPLDAFindPage");
  Bind(getPageWidth_, "DPLDAGetPageWidth");
  Bind(getPageHeight_, "DPLDAGetPageHeight");
  Bind(pageRotation_, "DPLDAPageRotation");
  Bind(renderPageToDC_, "DPLDARenderPageToDC");
  Bind(lastErrorCode_, "DPLLastErrorCode");
  Bind(lastRenderError_, "DPLLastRenderError");
  Bind(stringResultLength_, "DPLStringResultLength");
  // An incomplete library is never called, not even to make an instance.
  if (!failure_.empty()) {
    log_.Error("Cannot use the PDF library: %s", failure_);
    return;
  }
  instance_ = createLibrary_();
  if (instance_ <= 0) {
    failure_ = path_ + " made no library instance";
    log_.Error("Cannot use the PDF library: %s", failure_);
  }
}

PdfLibrary::~PdfLibrary() {
  if (instance_ > 0) releaseLibrary_(instance_);
}

DplHandle PdfLibrary::OpenFile(const std::u16string& path, const std::u16string& password) {
  ++calls_.opens;
  return openFile_(instance_, path.c_str(), password.c_str());
}

void PdfLibrary::CloseFile(DplHandle document) {
  ++calls_.closes;
  closeFile_(instance_, document);
}

int32_t PdfLibrary::GetPageCount(DplHandle document) { return getPageCount_(instance_, document); }

DplHandle PdfLibrary::FindPage(DplHandle document, int32_t pageNumber) {
  ++calls_.pageLookups;
  return findPage_(instance_, document, pageNumber);
}

double PdfLibrary::GetPageWidth(DplHandle document, DplHandle page) { return getPageWidth_(instance_, document, page); }

double PdfLibrary::GetPageHeight(DplHandle document, DplHandle page) {
  return getPageHeight_(instance_, document, page);
}

int32_t PdfLibrary::PageRotation(DplHandle document, DplHandle page) { return pageRotation_(instance_, document, page); }

bool PdfLibrary::RenderPageToDC(DplHandle document, DplHandle page, double resolution, DplDeviceContext* dc) {
  ++calls_.renders;
  return renderPageToDC_(instance_, document, page, resolution, dc) != 0;
}

int32_t PdfLibrary::LastErrorCode() { return lastErrorCode_(instance_); }

std::u16string PdfLibrary::LastRenderError() {
  const DplChar16* text = lastRenderError_(instance_);
  const int32_t length = stringResultLength_(instance_);
  if (text == nullptr || length <= 0) return {};
  return std::u16string(text, static_cast<size_t>(length));
}

std::shared_ptr<PdfLibrary> GetPdfLibrary() {
  LibraryHolder& holder = Holder();
  const std::lock_guard lock(holder.mutex);
  if (!holder.library) {
    const std::string folder = holder.folder.empty() ? platform::OwnModuleFolder() : holder.folder;
    holder.library = std::make_shared<PdfLibrary>(folder);
  }
  return holder.library;
}

void ReleasePdfLibrary() {
  std::shared_ptr<PdfLibrary> released;
  {
    LibraryHolder& holder = Holder();
    const std::lock_guard lock(holder.mutex);
    released = std::move(holder.library);
  }
  // Released outside the lock: the library's own release may take a while.
}

void SetPdfLibraryFolder(std::string folder) {
  LibraryHolder& holder = Holder();
  const std::lock_guard lock(holder.mutex);
  holder.folder = std::move(folder);
}
