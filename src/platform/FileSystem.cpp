#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace platform {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A name in the target's folder that no other writer of this or another process uses.
std::string TemporaryNameBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + ".tmp." + std::to_string(getpid()) + "." + std::to_string(++counter);
}

int WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

// Writes the content to a new temporary file beside the target and returns its name, or an
// empty name with the error code set.
std::string WriteTemporaryBeside(const std::string& target, const std::string& content, mode_t mode, int& error) {
  const std::string temporary = TemporaryNameBeside(target);
  FileDescriptor fd(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (fd.get() < 0) {
    error = errno;
    return {};
  }
  error = WriteAll(fd.get(), content.data(), content.size());
  if (error == 0 && fsync(fd.get()) != 0) error = errno;
  if (close(fd.Release()) != 0 && error == 0) error = errno;
  if (error != 0) {
    unlink(temporary.c_str());
    return {};
  }
  return temporary;
}

mode_t ExistingModeOr(const std::string& path, mode_t fallback) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return fallback;
  return info.st_mode & 07777;
}

bool CopyFileTo(const std::string& from, const std::string& to, bool overwrite) {
  struct stat source {};
  if (stat(from.c_str(), &source) != 0 || !S_ISREG(source.st_mode)) return false;
  if (!overwrite && PathExists(to)) return false;
  std::error_code ignored;
  const auto size = std::filesystem::file_size(from, ignored);
  if (ignored) return false;
  auto content = ReadWholeFile(from, static_cast<size_t>(size) + 1);
  if (!content) return false;
  int error = 0;
  const std::string temporary = WriteTemporaryBeside(to, *content, source.st_mode & 0777, error);
  if (temporary.empty()) return false;
  bool done = false;
  if (overwrite) {
    done = rename(temporary.c_str(), to.c_str()) == 0;
  } else {
    // link() refuses an existing target, so a file that appeared meanwhile is kept.
    done = link(temporary.c_str(), to.c_str()) == 0;
  }
  unlink(temporary.c_str());
  return done;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool PathExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && lstat(path.c_str(), &info) == 0;
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path.front() == '/'; }

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
  FileIdentity identity;
  identity.device = static_cast<std::uint64_t>(info.st_dev);
  identity.inode = static_cast<std::uint64_t>(info.st_ino);
  identity.size = static_cast<std::int64_t>(info.st_size);
  identity.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
  return identity;
}

std::optional<std::string> ResolvePath(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(path, error);
  if (error) return std::nullopt;
  return resolved.string();
}

bool IsPathWithin(const std::string& resolvedPath, const std::string& resolvedFolder) {
  if (resolvedFolder.empty() || resolvedPath.compare(0, resolvedFolder.size(), resolvedFolder) != 0) return false;
  // "/scans" holds "/scans/a.png" but not "/scans2/a.png"; "/" holds everything.
  return resolvedPath.size() == resolvedFolder.size() || resolvedFolder.back() == '/' ||
         resolvedPath[resolvedFolder.size()] == '/';
}

bool RegularFileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
  // Non-blocking open, so that a FIFO in place of the file cannot hang the caller; only regular
  // files are read (non-blocking has no effect on them).
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat info {};
  if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::string content;
  char buffer[16384];
  for (;;) {
    const ssize_t got = read(fd.get(), buffer, sizeof(buffer));
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    if (content.size() + static_cast<size_t>(got) > maxBytes) return std::nullopt;
    content.append(buffer, static_cast<size_t>(got));
  }
  return content;
}

int WriteFileAtomically(const std::string& path, const std::string& content) {
  int error = 0;
  const std::string temporary = WriteTemporaryBeside(path, content, ExistingModeOr(path, 0644), error);
  if (temporary.empty()) return error;
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    unlink(temporary.c_str());
    return error;
  }
  // The rename itself reaches the disk only with its folder.
  FileDescriptor folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());
  return 0;
}

int DeleteFile(const std::string& path) {
  if (unlink(path.c_str()) != 0) return errno;
  return 0;
}

bool DeleteFolderTree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  return !error && !PathExists(path);
}

bool CreateFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool CopyFileNoOverwrite(const std::string& from, const std::string& to) {
  return CopyFileTo(from, to, /*overwrite=*/false);
}

bool CopyFileOverwrite(const std::string& from, const std::string& to) {
  return CopyFileTo(from, to, /*overwrite=*/true);
}

bool NameLessIgnoringCase(const std::string& left, const std::string& right) {
  const size_t common = std::min(left.size(), right.size());
  for (size_t i = 0; i < common; ++i) {
    const auto a = static_cast<unsigned char>(UpperAscii(left[i]));
    const auto b = static_cast<unsigned char>(UpperAscii(right[i]));
    if (a != b) return a < b;
  }
  if (left.size() != right.size()) return left.size() < right.size();
  return left < right;
}

FolderListing EnumerateFolder(const std::string& folder) {
  FolderListing listing;
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) {
    listing.error = errno;
    return listing;
  }
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  while (dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry item;
    item.name = name;
    item.isHidden = name.front() == '.';
    item.isFolder = FolderExists(prefix + name);
    listing.entries.push_back(std::move(item));
  }
  closedir(directory);
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return NameLessIgnoringCase(a.name, b.name); });
  return listing;
}

}  // namespace platform
