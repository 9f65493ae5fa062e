#include "acquisition/PendingImagesList.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <utility>

#include "acquisition/ImageFileNames.h"
#include "platform/FileSystem.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveCriticalSection>;

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

// One AddFolder's walk: the tree it may enter and the folders it has listed (device, inode), so
// that links between folders list nothing twice and never lead out of the tree.
struct PendingImagesList::FolderWalk {
  std::string root;
  std::set<std::pair<std::uint64_t, std::uint64_t>> visited;
};

PendingImagesList::PendingImagesList() = default;

void PendingImagesList::Init(bool includeSubfolders, bool deleteFiles, std::unique_ptr<LoopCounter> loop, bool clear) {
  Lock lock(lock_);
  Reset(clear);
  includeSubfolders_ = includeSubfolders;
  deleteFiles_ = deleteFiles;
  loop_ = std::move(loop);
  scanRoot_.clear();
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
  if (folder.empty()) return 0;
  if (!platform::IsAbsolutePath(folder)) {
    logger_.Error("The scan folder \"%s\" is a relative path: nothing is scanned, as it would be a folder of "
                  "the application's choosing",
                  folder);
    return 0;
  }
  const std::optional<std::string> root = platform::ResolvePath(folder);
  if (!root) return 0;  // a folder that cannot be found adds nothing, as one that cannot be read
  {
    Lock lock(lock_);
    scanRoot_ = *root;
  }
  FolderWalk walk{*root, {}};
  return AddFolderBelow(folder, walk);
}

int32_t PendingImagesList::AddFolderBelow(const std::string& folder, FolderWalk& walk) {
  if (const std::optional<platform::FileIdentity> identity = platform::IdentifyFile(folder)) {
    if (!walk.visited.emplace(identity->device, identity->inode).second) return 0;
  }
  int32_t added = 0;
  const platform::FolderListing listing = platform::EnumerateFolder(folder);
  for (const platform::FolderEntry& item : listing.entries) {
    if (item.isHidden) continue;
    const std::string path = JoinPath(folder, item.name);
    if (item.isFolder) {
      if (!includeSubfolders_) continue;
      const std::optional<std::string> resolved = platform::ResolvePath(path);
      if (!resolved || !platform::IsPathWithin(*resolved, walk.root)) {
        logger_.Debug("Subfolder %s leads out of the scan folder, skipped", path);
        continue;
      }
      added += AddFolderBelow(path + "/", walk);
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

int32_t PendingImagesList::Count() const {
  Lock lock(lock_);
  return static_cast<int32_t>(entries_.size());
}

int PendingImagesList::DeleteFileIfNeed(const std::optional<platform::FileIdentity>& read) {
  Lock lock(lock_);
  if (!deleteFiles_ || !Designates(current_)) return 0;
  const std::string& path = entries_[static_cast<std::size_t>(current_)].path;
  logger_.Debug("DeleteFileIfNeed: File %s", path);
  if (const std::string reason = ReasonToKeep(path, read); !reason.empty()) {
    logger_.Error("DeleteFileIfNeed: %s is kept: %s", path, reason);
    return 0;
  }
  const int code = platform::DeleteFile(path);
  logger_.Debug("DeleteFileIfNeed: Operation code %d", code);
  return code;
}

std::string PendingImagesList::ReasonToKeep(const std::string& path,
                                            const std::optional<platform::FileIdentity>& read) const {
  const std::optional<platform::FileIdentity> now = platform::IdentifyFile(path);
  // A file that is gone already is left to the deletion, which reports it.
  if (!now) return {};
  if (!read || *now != *read) return "it was replaced or changed after it was read";
  if (!scanRoot_.empty()) {
    const std::optional<std::string> resolved = platform::ResolvePath(path);
    if (!resolved || !platform::IsPathWithin(*resolved, scanRoot_)) return "it lies outside the scan folder";
  }
  return {};
}

bool PendingImagesList::IsSupportedImageFile(const std::string& path) { return ::IsSupportedImageFile(path); }

bool PendingImagesList::IsMarkerFile(const std::string& path, const SettingsStore& settings) {
  return ::IsMarkerFile(path, settings);
}
