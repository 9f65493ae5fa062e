#include "platform/AppDataFolders.h"

#include "platform/SystemInfo.h"

namespace platform {
namespace {

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  if (auto home = EnvironmentVariable("HOME"); home && !home->empty()) return *home;
  if (auto account = CurrentUserAccount(); account && !account->home.empty()) return account->home;
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
