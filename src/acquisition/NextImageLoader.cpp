#include "acquisition/NextImageLoader.h"

#include <exception>

#include "acquisition/FileListEntry.h"
#include "acquisition/PendingImagesList.h"
#include "settings/SettingsStore.h"

NextImageLoader::NextImageLoader(PendingImagesList& pending, const SettingsStore& settings)
    : pending_(pending), settings_(settings) {}

NextImageLoader::~NextImageLoader() = default;

bool NextImageLoader::LoadNextImage(const NegotiatedFormat& format, const StatusReport& report) {
  logger_.Debug("LoadNextImage starts");
  ScanImage* page = openFile_ ? NextPageOfOpenFile() : nullptr;
  if (page == nullptr) page = FirstPageOfNextFile();
  if (page == nullptr) return false;

  page->ImageProcessing(settings_);
  page->Prepare(settings_.GetForcePixelTypeToCapability(), format, settings_.GetFixResolution());
  if (report) report(pending_.GetCurrentPath());
  logger_.Debug("LoadNextImage: Image was loaded successfully");
  return true;
}

ScanImage* NextImageLoader::NextPageOfOpenFile() {
  logger_.Debug("LoadNextImage: multipage, loading next page");
  for (;;) {
    try {
      // The following page is decoded before the exclusions are looked at; a page that fails
      // has been taken all the same, so the next attempt moves past it.
      ScanImage* page = openFile_->NextPage();
      logger_.Debug("LoadNextImage: multipage, loaded");
      FileListEntry entry;
      pending_.GetCurrent(entry);
      const int32_t taken = openFile_->CurrentPage();
      if (entry.HasExcludedPages() && entry.IsExcluded(taken)) {
        page = nullptr;
        logger_.Debug("LoadNextImage: multipage, excluded %d", taken);
        const int32_t wanted = entry.FirstIncludedPage(taken + 1, openFile_->PageCount());
        if (wanted >= 0) {
          logger_.Debug("LoadNextImage: multipage, loaded %d", wanted);
          page = openFile_->LoadPage(wanted);
        }
      }
      return page;
    } catch (const std::exception&) {
      logger_.Debug("LoadNextImage: multipage, load failure");
    }
  }
}

ScanImage* NextImageLoader::FirstPageOfNextFile() {
  // In loop mode the cursor comes round again and again: once a whole pass over the list has
  // given no page, further passes would give none either.
  int32_t fruitless = 0;
  for (;; ++fruitless) {
    if (fruitless > 0 && fruitless >= pending_.Count()) {
      logger_.Error("LoadNextImage: no file of the list gave a page in a whole pass, the batch ends");
      openFile_.reset();
      return nullptr;
    }
    logger_.Debug("LoadNextImage: No images available, try to load next");
    // The file before has no page left to give; letting it go first keeps one page in memory
    // and leaves no stale page behind when the list is exhausted.
    openFile_.reset();
    FileListEntry entry;
    if (!pending_.Advance(entry)) {
      logger_.Debug("LoadNextImage: No more files available in cache");
      return nullptr;
    }
    try {
      logger_.Debug("LoadNextImage: loading %s", entry.path);
      openFile_ = Open(entry.path);
      if (!entry.HasExcludedPages()) return openFile_->NextPage();
      const int32_t wanted = entry.FirstIncludedPage(0, openFile_->PageCount());
      if (wanted >= 0) {
        logger_.Debug("LoadNextImage: loaded %d", wanted);
        return openFile_->LoadPage(wanted);
      }
    } catch (const std::exception&) {
      logger_.Debug("LoadNextImage: load failure");
    }
  }
}

std::unique_ptr<CImageFile> NextImageLoader::Open(const std::string& path) {
  std::unique_ptr<CheckedPage> checked = std::move(checked_);
  if (checked && checked->path == path && checked->identity && platform::IdentifyFile(path) == checked->identity) {
    return std::make_unique<CImageFile>(path, std::move(checked->image), std::move(checked->identity));
  }
  return std::make_unique<CImageFile>(path, settings_);
}

bool NextImageLoader::CheckImage(const std::string& path) {
  logger_.Debug("CheckImage: loading %s", path);
  checked_.reset();
  try {
    auto checked = std::make_unique<CheckedPage>();
    checked->path = path;
    checked->identity = platform::IdentifyFile(path);
    checked->image = std::make_unique<ScanImage>(settings_);
    checked->image->Load(path, 0);
    const bool valid = checked->image->Image().IsValid();
    logger_.Debug("CheckImage: check %s", valid ? "successed" : "failed");
    if (valid) checked_ = std::move(checked);
    return valid;
  } catch (const std::exception&) {
    logger_.Debug("CheckImage: failed %s", path);
    return false;
  }
}
