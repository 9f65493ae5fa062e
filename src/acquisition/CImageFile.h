#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "acquisition/ScanImage.h"
#include "platform/FileSystem.h"

struct FileListEntry;

// The file being delivered: its page count, the page taken last and the ScanImage that holds
// that page (the current image of the transfers), and which pages went out whole. Page 0 is
// decoded when the file is opened.
class CImageFile {
 public:
  // Opens the file and decodes page 0. Throws ImageLoadException when that fails. `settings`
  // must outlive the object.
  CImageFile(const std::string& path, const SettingsStore& settings);
  // Opens the file with its page 0 decoded already, from the file as `identity` found it.
  CImageFile(const std::string& path, std::unique_ptr<ScanImage> firstPage,
             std::optional<platform::FileIdentity> identity);
  CImageFile(const CImageFile&) = delete;
  CImageFile& operator=(const CImageFile&) = delete;
  virtual ~CImageFile();

  bool IsLastPage() const { return currentPage_ + 1 == pageCount_; }
  // Takes page `index`: nullptr when there is no such page. Page 0 is the one decoded at
  // opening; another page is decoded now. The page counts as taken before it is decoded, so
  // after an ImageLoadException the next page follows it.
  ScanImage* LoadPage(int32_t index);
  // The page after the one taken last (page 0 on a newly opened file); nullptr after the last.
  ScanImage* NextPage();

  // The page taken last has reached the application whole.
  void MarkCurrentPageDelivered();
  // Whether every page the entry does not exclude has reached the application whole: only
  // then may the file go.
  bool DeliveredEveryWantedPage(const FileListEntry& entry) const;
  // The file as it was when it was opened; nullopt when it could not be identified.
  const std::optional<platform::FileIdentity>& IdentityWhenRead() const { return identity_; }

  ScanImage& Image() { return *image_; }
  const ScanImage& Image() const { return *image_; }
  int32_t PageCount() const { return pageCount_; }
  int32_t CurrentPage() const { return currentPage_; }
  const std::string& Path() const { return path_; }

 private:
  int32_t pageCount_ = 1;
  int32_t currentPage_ = -1;
  std::unique_ptr<ScanImage> image_;
  std::string path_;
  std::optional<platform::FileIdentity> identity_;
  std::set<int32_t> delivered_;
};
