#include "acquisition/CImageFile.h"

CImageFile::CImageFile(const std::string& path, const SettingsStore& settings)
    : image_(std::make_unique<ScanImage>(settings)), path_(path) {
  image_->Load(path, 0);
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
