#include "settings/PathHelpers.h"

#include "platform/FileSystem.h"
#include "platform/Network.h"
#include "platform/SystemInfo.h"

#include <array>

namespace {

// A folder that exists afterwards counts as made, whoever made it: another process may create
// the same folder at the same moment.
bool EnsureFolder(const std::string& path) {
  if (platform::FolderExists(path)) return true;
  return platform::CreateFolder(path) || platform::FolderExists(path);
}

// Replaces the first occurrence; returns whether there was one.
bool ReplaceFirst(std::string& text, const std::string& token, const std::string& replacement) {
  const auto position = text.find(token);
  if (position == std::string::npos) return false;
  text.replace(position, token.size(), replacement);
  return true;
}

}  // namespace

bool CreateFolderPath(const std::string& path) {
  if (path.empty()) return false;
  for (std::string::size_type slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (!EnsureFolder(path.substr(0, slash))) return false;
  }
  if (path.back() == '/') return true;
  return EnsureFolder(path);
}

std::string ExpandPathTemplate(const std::string& value) {
  if (value.empty() || value.front() != '@') return value;
  std::string expanded = value.substr(1);
  const std::string userName = platform::UserName().value_or("UserNotFound");
  const std::string x86 = platform::IsWow64Process() ? " (x86)" : "";
  const std::array<std::pair<std::string, const std::string*>, 2> tokens{{
      {"<user_name>", &userName},
      {"<x86>", &x86},
  }};
  // Each pass replaces the first occurrence of each token. A value holds at most one token per
  // five characters, so this many passes replace them all; the bound only matters for a user
  // name that itself spells a token, which would otherwise be replaced forever.
  const std::size_t maxPasses = expanded.size() + 1;
  for (std::size_t pass = 0; pass < maxPasses; ++pass) {
    bool replaced = false;
    for (const auto& [token, replacement] : tokens) replaced = ReplaceFirst(expanded, token, *replacement) || replaced;
    if (!replaced) break;
  }
  return expanded;
}

std::string GetLocalIpAddress() {
  const auto resolved = platform::ResolveHostIPv4(platform::HostName());
  if (!resolved.empty() && !platform::IsLoopbackIPv4(resolved.front())) return resolved.front();
  // Many systems map their own name to 127.0.1.1; a device on the network cannot reach that.
  const auto interfaces = platform::InterfaceIPv4Addresses();
  if (!interfaces.empty()) return interfaces.front();
  return resolved.empty() ? std::string() : resolved.front();
}
