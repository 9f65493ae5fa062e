#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ftpserv {

// A path a client named, confined to the root folder.
struct ResolvedPath {
  std::string virtualPath;         // as the client sees it: "/" is the root folder
  std::filesystem::path diskPath;  // the same place on disk
};

// The folder a service is confined to. Every path a client names goes through Resolve before
// anything touches the disk.
class RootFolder {
 public:
  // root must exist; it is taken with its symlinks resolved.
  static std::optional<RootFolder> Open(const std::filesystem::path& root);

  // Resolves argument (absolute from the root, or relative to cwd) to a place inside the root.
  // Nothing when it climbs above the root, holds a control character, or leads out through a
  // symlink.
  std::optional<ResolvedPath> Resolve(const std::string& cwd, const std::string& argument) const;

  const std::filesystem::path& path() const { return root_; }

 private:
  explicit RootFolder(std::filesystem::path root) : root_(std::move(root)) {}
  bool StaysInside(const std::filesystem::path& diskPath) const;

  std::filesystem::path root_;
};

}  // namespace ftpserv
