#include "acquisition/PendingImagesList.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "acquisition/ImageFileNames.h"
#include "platform/FileSystem.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveCriticalSection>;

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The folder's own identity, links resolved; empty when it cannot be found.
std::string CanonicalFolder(const std::string& folder) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::canonical(folder, error);
  return error ? std::string() : canonical.string();
}

}  // namespace

PendingImagesList::PendingImagesList() = default;

void PendingImagesList::Init(bool includeSubfolders, bool deleteFiles, std::unique_ptr<LoopCounter> loop, bool clear) {
  Lock lock(lock_);
  Reset(clear);
  includeSubfolders_ = includeSubfolders;
  deleteFiles_ = deleteFiles;
  loop_ = std::move(loop);
}

void PendingImagesList::Reset(bool clear) {
  Lock lock(lock_);
  if (clear) entries_.clear();
  stopMarker_.store(false);
  current_ = -1;
}

void PendingImagesList::ReplaceEntries(const std::vector<FileListEntry>& entries) {
  Lock lock(lock_);
  Reset(true);
  entries_ = entries;
}

std::vector<FileListEntry> PendingImagesList::Entries() const {
  Lock lock(lock_);
  return entries_;
}

int32_t PendingImagesList::AddFolder(const std::string& folder) {
  // An empty name would mean the working folder of whatever application loaded us, whose
  // files must never be scanned, let alone deleted.
  if (folder.empty()) return 0;
  std::vector<std::string> ancestors;
  return AddFolderBelow(folder, ancestors);
}

int32_t PendingImagesList::AddFolderBelow(const std::string& folder, std::vector<std::string>& ancestors) {
  // A link back to a folder being listed further up would list the same files again and again.
  const std::string identity = CanonicalFolder(folder);
  if (!identity.empty()) {
    if (std::find(ancestors.begin(), ancestors.end(), identity) != ancestors.end()) return 0;
    ancestors.push_back(identity);
  }
  int32_t added = 0;
  const platform::FolderListing listing = platform::EnumerateFolder(folder);
  for (const platform::FolderEntry& item : listing.entries) {
    if (item.isHidden) continue;
    const std::string path = JoinPath(folder, item.name);
    if (item.isFolder) {
      if (includeSubfolders_) added += AddFolderBelow(path + "/", ancestors);
      continue;
    }
    if (!IsSupportedImageFile(path)) {
      logger_.Debug("Unsupported file format. File: %s", path);
      continue;
    }
    Lock lock(lock_);
    entries_.emplace_back(path);
    ++added;
  }
  if (!identity.empty()) ancestors.pop_back();
  return added;
}

void PendingImagesList::AddFile(const std::string& path) {
  if (!IsSupportedImageFile(path)) {
    logger_.Debug("Unsupported file format. File: %s", path);
    return;
  }
  Lock lock(lock_);
  entries_.emplace_back(path);
}

bool PendingImagesList::Advance(FileListEntry& entry) {
  Lock lock(lock_);
  if (entries_.empty()) return false;
  const bool mayMove = loop_ == nullptr || loop_->LetsCursorMoveOn();
  if (Designates(current_ + 1) && mayMove) {
    ++current_;
  } else if (loop_ != nullptr && loop_->Enabled() && mayMove) {
    current_ = 0;
  } else {
    return false;
  }
  entry = entries_[static_cast<std::size_t>(current_)];
  if (loop_ != nullptr) loop_->CountDelivery();
  return true;
}

bool PendingImagesList::GetCurrent(FileListEntry& entry) const {
  Lock lock(lock_);
  if (!Designates(current_)) return false;
  entry = entries_[static_cast<std::size_t>(current_)];
  return true;
}

std::string PendingImagesList::GetCurrentPath() const {
  Lock lock(lock_);
  return Designates(current_) ? entries_[static_cast<std::size_t>(current_)].path : std::string();
}

int32_t PendingImagesList::CurrentIndex() const {
  Lock lock(lock_);
  return current_;
}

int32_t PendingImagesList::Remaining() const {
  Lock lock(lock_);
  const int32_t count = static_cast<int32_t>(entries_.size());
  if (loop_ == nullptr) return count;
  return (loop_->Enabled() ? loop_->Limit() : count) - loop_->Delivered();
}

int32_t PendingImagesList::Delivered() const {
  Lock lock(lock_);
  return loop_ == nullptr ? 0 : loop_->Delivered();
}

int PendingImagesList::DeleteFileIfNeed() {
  Lock lock(lock_);
  if (!deleteFiles_ || !Designates(current_)) return 0;
  const std::string& path = entries_[static_cast<std::size_t>(current_)].path;
  logger_.Debug("DeleteFileIfNeed: File %s", path);
  const int code = platform::DeleteFile(path);
  logger_.Debug("DeleteFileIfNeed: Operation code %d", code);
  return code;
}

bool PendingImagesList::IsSupportedImageFile(const std::string& path) { return ::IsSupportedImageFile(path); }

bool PendingImagesList::IsMarkerFile(const std::string& path, const SettingsStore& settings) {
  return ::IsMarkerFile(path, settings);
}
