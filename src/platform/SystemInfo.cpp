#include "platform/SystemInfo.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace platform {

std::optional<std::string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::optional<UserAccount> CurrentUserAccount() {
  long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
  if (bufferSize <= 0) bufferSize = 16384;
  std::vector<char> buffer(static_cast<size_t>(bufferSize));
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &result) != 0 || result == nullptr) {
    return std::nullopt;
  }
  return UserAccount{result->pw_name != nullptr ? result->pw_name : "", result->pw_dir != nullptr ? result->pw_dir : ""};
}

std::optional<std::string> UserName() {
  // The password database is the authority; $USER only stands in when the uid has no entry
  // (containers often run as an unnamed uid).
  if (auto account = CurrentUserAccount(); account && !account->name.empty()) return account->name;
  if (auto user = EnvironmentVariable("USER"); user && !user->empty()) return user;
  return std::nullopt;
}

bool IsWow64Process() { return false; }

std::string TempFolder() {
  std::string folder = EnvironmentVariable("TMPDIR").value_or("");
  if (folder.empty()) return "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

int LastSystemError() { return errno; }

std::string FormatLocalTime(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return {};
  char text[128] = {};
  const std::size_t length = std::strftime(text, sizeof(text), format, &local);
  return std::string(text, length);
}

std::string SystemErrorText(int code) {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(code, buffer, sizeof(buffer));
  return text ? text : "";
}

std::string HostName() {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof(buffer) - 1) != 0) return {};
  return buffer;
}

}  // namespace platform
