#pragma once

#include <optional>
#include <string>

namespace platform {

// The value of an environment variable; nullopt when unset.
std::optional<std::string> EnvironmentVariable(const char* name);

// The password database's entry for the user running this process (fields empty where the
// entry has none); nullopt when the uid has no entry.
struct UserAccount {
  std::string name;
  std::string home;
};
std::optional<UserAccount> CurrentUserAccount();

// The login name of the user running this process; nullopt when it cannot be found.
std::optional<std::string> UserName();

// Whether this is a 32-bit process on a 64-bit system. Always false: we are a native process.
bool IsWow64Process();

// The folder for temporary files: $TMPDIR when set and not empty, else /tmp. No trailing "/".
std::string TempFolder();

// The error code the last failed system call of this thread left (errno), for a caller whose
// platform function reports failure without a code.
int LastSystemError();

// The local time now, formatted with strftime's conversions ("%Y-%m-%d_%H-%M-%S").
std::string FormatLocalTime(const char* format);

// The system's text for an errno-style error code.
std::string SystemErrorText(int code);

// The name of this machine, empty on failure.
std::string HostName();

}  // namespace platform
