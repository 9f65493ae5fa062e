#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/FileListEntry.h"
#include "acquisition/LoopCounter.h"
#include "logging/Logger.h"
#include "platform/FileSystem.h"
#include "platform/Sync.h"

class SettingsStore;

// The files of the current batch in delivery order, with a cursor on the file being delivered
// (-1: before the first). One per data source, alive as long as it.
//
// Threads: the application's thread and the network threads call it at the same time; every
// operation on the entries and the cursor is atomic under the list's own lock, which comes
// after the driver lock and the wait lock in the lock order. The two flags and the loop
// counter are written only by Init, before any other thread uses the list in that batch; the
// stop marker may be read without a lock.
class PendingImagesList {
 public:
  PendingImagesList();
  PendingImagesList(const PendingImagesList&) = delete;
  PendingImagesList& operator=(const PendingImagesList&) = delete;

  // Starts a batch: Reset(clear), then takes the flags and the counter.
  void Init(bool includeSubfolders, bool deleteFiles, std::unique_ptr<LoopCounter> loop, bool clear);
  // Cursor before the first entry, stop marker off; the entries go only when `clear` is set.
  void Reset(bool clear);
  // The file list: replaces every entry (cursor and marker reset).
  void ReplaceEntries(const std::vector<FileListEntry>& entries);
  std::vector<FileListEntry> Entries() const;

  // Appends the image files of a folder (and, with includeSubfolders, of its subfolders, each
  // where it was met) in name order; hidden entries are skipped, other files are logged as
  // unsupported. Returns how many were added. A folder given by no name or by a relative one
  // adds nothing: either would mean the working folder of whatever application loaded us.
  // Subfolders are entered once each, and only those whose resolved path lies inside the
  // folder's own tree; the folder then bounds what DeleteFileIfNeed may delete.
  int32_t AddFolder(const std::string& folder);
  // Appends one received file when it is an image file.
  void AddFile(const std::string& path);

  // Moves the cursor to the next file (in loop mode back to the first one after the last, as
  // long as the counter allows) and copies its entry. False when there is none.
  bool Advance(FileListEntry& entry);
  bool GetCurrent(FileListEntry& entry) const;
  // Empty when the cursor designates no entry.
  std::string GetCurrentPath() const;
  int32_t CurrentIndex() const;
  // Files not moved to yet (the one at the cursor counts as delivered).
  int32_t Remaining() const;
  int32_t Delivered() const;

  void SetStopMarker() { stopMarker_.store(true); }
  bool IsStopMarkerSet() const { return stopMarker_.load(); }

  // Deletes the file at the cursor when deleteFiles is set; the entry stays. Only the file that
  // was read goes: one that differs from `read` (replaced or changed since), or whose resolved
  // path lies outside the scanned folder, stays. Returns 0 or the platform's error code.
  int DeleteFileIfNeed(const std::optional<platform::FileIdentity>& read);
  // Entries in the list.
  int32_t Count() const;

  static bool IsSupportedImageFile(const std::string& path);
  static bool IsMarkerFile(const std::string& path, const SettingsStore& settings);

 private:
  struct FolderWalk;
  int32_t AddFolderBelow(const std::string& folder, FolderWalk& walk);
  // Why the file at `path` must stay; empty when it may be deleted.
  std::string ReasonToKeep(const std::string& path, const std::optional<platform::FileIdentity>& read) const;
  bool Designates(int32_t index) const { return index >= 0 && static_cast<std::size_t>(index) < entries_.size(); }

  mutable platform::RecursiveCriticalSection lock_;
  std::vector<FileListEntry> entries_;  // guarded by lock_
  int32_t current_ = -1;                // guarded by lock_
  bool includeSubfolders_ = false;
  bool deleteFiles_ = false;
  std::string scanRoot_;  // resolved folder of AddFolder; empty when the files came otherwise
  std::atomic<bool> stopMarker_{false};
  std::unique_ptr<LoopCounter> loop_;   // guarded by lock_ (Advance counts)
  Logger logger_{"Velloran", "PendingImagesList"};
};
