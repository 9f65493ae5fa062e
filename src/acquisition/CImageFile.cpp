#include "acquisition/CImageFile.h"

#include "acquisition/FileListEntry.h"

CImageFile::CImageFile(const std::string& path, const SettingsStore& settings)
    : image_(std::make_unique<ScanImage>(settings)), path_(path) {
  // Taken before the content is read: a file replaced after this point no longer matches, so
  // the replacement, never read, cannot be deleted in its place.
  identity_ = platform::IdentifyFile(path);
  image_->Load(path, 0);
  const int32_t pages = image_->PageCount();
  pageCount_ = pages > 0 ? pages : 1;
}

CImageFile::CImageFile(const std::string& path, std::unique_ptr<ScanImage> firstPage,
                       std::optional<platform::FileIdentity> identity)
    : image_(std::move(firstPage)), path_(path), identity_(std::move(identity)) {
  const int32_t pages = image_->PageCount();
  pageCount_ = pages > 0 ? pages : 1;
}

CImageFile::~CImageFile() = default;

ScanImage* CImageFile::LoadPage(int32_t index) {
  if (index < 0 || index >= pageCount_) return nullptr;
  currentPage_ = index;
  if (index != 0) image_->Load(path_, index);
  return image_.get();
}

ScanImage* CImageFile::NextPage() {
  if (IsLastPage()) return nullptr;
  return LoadPage(currentPage_ + 1);
}

void CImageFile::MarkCurrentPageDelivered() {
  if (currentPage_ >= 0) delivered_.insert(currentPage_);
}

bool CImageFile::DeliveredEveryWantedPage(const FileListEntry& entry) const {
  // Counted rather than walked page by page: a damaged file may claim billions of pages.
  int64_t wanted = pageCount_;
  for (const int32_t page : entry.excludedPages) {
    if (page >= 0 && page < pageCount_) --wanted;
  }
  int64_t delivered = 0;
  for (const int32_t page : delivered_) {
    if (page < pageCount_ && !entry.IsExcluded(page)) ++delivered;
  }
  return delivered == wanted;
}
