#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Ini ("profile") files with the behaviour settings code expects from them: section and key
// names compare without regard to ASCII case, an absent key yields the caller's default, and at
// most kMaxProfileValueLength characters come back. Text is passed through as bytes.
inline constexpr std::size_t kMaxProfileValueLength = 255;

// Files larger than this are not read at all (they read as absent): a settings file is a few
// kilobytes, anything this big is not one.
inline constexpr std::size_t kMaxProfileFileBytes = 4 * 1024 * 1024;

// The value of the key, or defaultValue when the file, the section or the key is absent or the
// file cannot be read. A value in matching single or double quotes loses them. The result is
// cut to kMaxProfileValueLength characters.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path);

// Sets the key (adding the section and the key as needed) and replaces the file in one step.
// Writers of every thread and process are serialised by an advisory lock on the file
// path + ".lock", so concurrent writes of different keys all survive. The file's folder must
// exist. Names containing a line break, "[", "]" or "=" and values containing a line break are
// refused, because they would read back as other keys. A value with blanks at either end or in
// matching quotes is written in double quotes, so that it reads back exactly as given. A file
// that exists but cannot be read (too big, unreadable) is left alone and the write fails.
// Returns whether the value was written.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path);

}  // namespace platform
