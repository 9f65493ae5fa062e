#include "RootFolder.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace ftpserv {
namespace {

bool HasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

// Splits "/a//b/./c/../d" into {a, b, d}; nothing when ".." would climb above the top.
std::optional<std::vector<std::string>> NormalisedParts(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return std::nullopt;
      parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  return parts;
}

}  // namespace

std::optional<RootFolder> RootFolder::Open(const std::filesystem::path& root) {
  std::error_code error;
  auto canonical = std::filesystem::canonical(root, error);
  if (error || !std::filesystem::is_directory(canonical, error)) return std::nullopt;
  return RootFolder(std::move(canonical));
}

std::optional<ResolvedPath> RootFolder::Resolve(const std::string& cwd, const std::string& argument) const {
  if (HasControlCharacter(argument)) return std::nullopt;
  const std::string combined = (!argument.empty() && argument.front() == '/') ? argument : cwd + "/" + argument;
  const auto parts = NormalisedParts(combined);
  if (!parts) return std::nullopt;
  ResolvedPath resolved{"", root_};
  for (const auto& part : *parts) {
    resolved.virtualPath.append("/").append(part);
    resolved.diskPath /= part;
  }
  if (resolved.virtualPath.empty()) resolved.virtualPath.push_back('/');
  if (!StaysInside(resolved.diskPath)) return std::nullopt;
  return resolved;
}

// The existing part of the path with its symlinks resolved must still lie under the root, so a
// link inside the root cannot lead a client out of it.
bool RootFolder::StaysInside(const std::filesystem::path& diskPath) const {
  std::error_code error;
  const auto real = std::filesystem::weakly_canonical(diskPath, error);
  if (error) return false;
  auto rootPart = root_.begin();
  auto realPart = real.begin();
  for (; rootPart != root_.end(); ++rootPart, ++realPart) {
    if (realPart == real.end() || *realPart != *rootPart) return false;
  }
  return true;
}

}  // namespace ftpserv
