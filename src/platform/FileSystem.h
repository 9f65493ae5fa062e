#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Temp folder, user name, 64-bit detection and error texts live beside the file functions.
#include "platform/SystemInfo.h"

namespace platform {

// Whether anything (file, folder, ...) exists at the path.
bool PathExists(const std::string& path);
bool FolderExists(const std::string& path);
bool RegularFileExists(const std::string& path);

// Whether a path names its place from the root, independently of the working folder.
bool IsAbsolutePath(const std::string& path);

// What tells one file from another and a file from a changed version of itself: the same
// device and inode, size and modification time mean the same content as before.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;  // since the epoch
  bool operator==(const FileIdentity&) const = default;
  // The same object on disk (device and inode), whatever its content.
  bool SameObject(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
};

// Of what the path leads to, links followed; nullopt when nothing is there.
std::optional<FileIdentity> IdentifyFile(const std::string& path);

// The absolute path with every link and "." or ".." resolved; nullopt when it does not exist.
std::optional<std::string> ResolvePath(const std::string& path);

// Whether a resolved path is the resolved folder itself or lies somewhere below it.
bool IsPathWithin(const std::string& resolvedPath, const std::string& resolvedFolder);

// The bytes of a regular file; nullopt when it cannot be read, is not a regular file (a folder,
// a FIFO or a device) or is larger than maxBytes.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes);

// Replaces (or creates) the file in one step: the content goes to a temporary file in the same
// folder, which is then renamed over the target, so a reader sees the old or the new file,
// never a part. Returns 0 or the errno-style error code.
int WriteFileAtomically(const std::string& path, const std::string& content);

// Removes one file. Returns 0 or the errno-style error code (SystemErrorText explains it).
int DeleteFile(const std::string& path);

// Removes a folder with everything in it. True when nothing is left.
bool DeleteFolderTree(const std::string& path);

// Creates one folder (its parent must exist). False when it fails or already exists.
bool CreateFolder(const std::string& path);

// Copies a file. The target appears complete or not at all. Without overwrite the copy fails
// when the target exists.
bool CopyFileNoOverwrite(const std::string& from, const std::string& to);
bool CopyFileOverwrite(const std::string& from, const std::string& to);

struct FolderEntry {
  std::string name;   // without folder
  bool isFolder = false;
  bool isHidden = false;  // the name starts with "."
};

struct FolderListing {
  int error = 0;  // 0, or the errno-style code when the folder could not be read
  std::vector<FolderEntry> entries;
};

// The entries of a folder except "." and "..", sorted by name without regard to case
// (ASCII upper-cased ordinal, ties by byte order), so that page files come out in the same
// order on every file system.
FolderListing EnumerateFolder(const std::string& folder);

// Orders two names as EnumerateFolder does.
bool NameLessIgnoringCase(const std::string& left, const std::string& right);

}  // namespace platform
