#include "platform/AppDataFolders.h"

#include "platform/SystemInfo.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace platform {
namespace {

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  if (auto home = EnvironmentVariable("HOME"); home && !home->empty()) return *home;
  long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
  if (bufferSize <= 0) bufferSize = 16384;
  std::vector<char> buffer(static_cast<size_t>(bufferSize));
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
      result->pw_dir != nullptr) {
    return result->pw_dir;
  }
  return "/tmp";
}

}  // namespace

std::string AppDataFolder() {
  // Relative values are invalid by the XDG rules and are ignored.
  if (auto configHome = EnvironmentVariable("XDG_CONFIG_HOME"); configHome && !configHome->empty() &&
                                                               configHome->front() == '/') {
    return WithoutTrailingSlash(*configHome);
  }
  return WithoutTrailingSlash(HomeFolder()) + "/.config";
}

std::string CommonAppDataFolder() {
  if (auto configDirs = EnvironmentVariable("XDG_CONFIG_DIRS"); configDirs && !configDirs->empty()) {
    const std::string first = configDirs->substr(0, configDirs->find(':'));
    if (!first.empty() && first.front() == '/') return WithoutTrailingSlash(first);
  }
  return "/etc/xdg";
}

}  // namespace platform
