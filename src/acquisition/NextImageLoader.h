#pragma once

#include <functional>
#include <memory>
#include <string>

#include "acquisition/CImageFile.h"
#include "acquisition/ScanImage.h"
#include "logging/Logger.h"

class PendingImagesList;
class SettingsStore;

// Produces the current image, the one page the next transfer delivers: the next page of the
// open file, or the first wanted page of the next file of the pending list, enhanced and
// converted to the negotiated format. Damaged pages and files are skipped. Owns the open file.
//
// No lock of its own: the data source calls it on the thread that holds the session, and from
// a network thread only before the application has an image to transfer.
class NextImageLoader {
 public:
  using StatusReport = std::function<void(const std::string& text)>;

  // Both must outlive the loader.
  NextImageLoader(PendingImagesList& pending, const SettingsStore& settings);
  NextImageLoader(const NextImageLoader&) = delete;
  NextImageLoader& operator=(const NextImageLoader&) = delete;
  ~NextImageLoader();

  // True when a prepared current image is ready (`report` then gets the file's path); false
  // when the pending list has no further file with a page that can be had.
  bool LoadNextImage(const NegotiatedFormat& format, const StatusReport& report);
  // Whether a received file decodes to an image; its own decode, the current image untouched.
  // The page it decoded is kept until the next check, so that opening the same, unchanged file
  // next (the usual case: the application keeps up with the device) does not decode it again.
  bool CheckImage(const std::string& path);
  // Lets the kept page go.
  void ForgetCheckedPage() { checked_.reset(); }

  // nullptr when no file is open.
  CImageFile* OpenFile() { return openFile_.get(); }
  // The page the next transfer delivers; nullptr when no file is open.
  ScanImage* CurrentImage() { return openFile_ ? &openFile_->Image() : nullptr; }
  bool HoldsImage() const { return openFile_ != nullptr; }
  // Drops the open file with its page.
  void ReleaseOpenFile() { openFile_.reset(); }

 private:
  ScanImage* NextPageOfOpenFile();
  // nullptr when the list is exhausted.
  ScanImage* FirstPageOfNextFile();
  // The file at `path` opened, with the page CheckImage kept when it is of this file as it is now.
  std::unique_ptr<CImageFile> Open(const std::string& path);

  struct CheckedPage {
    std::string path;
    std::optional<platform::FileIdentity> identity;  // taken before the decode
    std::unique_ptr<ScanImage> image;
  };

  PendingImagesList& pending_;
  const SettingsStore& settings_;
  std::unique_ptr<CImageFile> openFile_;
  std::unique_ptr<CheckedPage> checked_;
  Logger logger_{"Velloran", "Velloran"};
};
