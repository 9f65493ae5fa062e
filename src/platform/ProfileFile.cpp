#include "platform/ProfileFile.h"

#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include <SimpleIni.h>

namespace platform {
namespace {

// Holds flock() on the lock file beside the profile for the life of the object. flock belongs
// to the open file description, so it also keeps apart threads of one process that each open
// the lock file.
class ProfileWriteLock {
 public:
  explicit ProfileWriteLock(const std::string& profilePath) {
    fd_ = open((profilePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ProfileWriteLock(const ProfileWriteLock&) = delete;
  ProfileWriteLock& operator=(const ProfileWriteLock&) = delete;
  ~ProfileWriteLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  bool IsHeld() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

void ConfigureIni(CSimpleIniA& ini) {
  ini.SetUnicode(false);   // bytes in, bytes out
  ini.SetMultiKey(false);
  ini.SetMultiLine(false);
  ini.SetSpaces(false);    // "key=value", as other ini writers expect
}

bool HasMatchingQuotes(const std::string& value) {
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

std::string WithoutMatchingQuotes(std::string value) {
  if (HasMatchingQuotes(value)) return value.substr(1, value.size() - 2);
  return value;
}

bool IsIniBlank(char c) { return c == ' ' || c == '\t'; }

// Reading trims blanks at the ends of a value and drops one pair of matching quotes, so a value
// that either would change goes into the file in double quotes, which reading takes off again.
std::string StoredForm(const std::string& value) {
  const bool blankEnds = !value.empty() && (IsIniBlank(value.front()) || IsIniBlank(value.back()));
  if (blankEnds || HasMatchingQuotes(value)) return '"' + value + '"';
  return value;
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// A name that would end its line early or be read back as something else.
bool IsUnsafeName(const std::string& name) {
  return name.empty() || HasLineBreak(name) || name.find_first_of("[]=") != std::string::npos;
}

std::string CutToMaximum(std::string value) {
  if (value.size() > kMaxProfileValueLength) value.resize(kMaxProfileValueLength);
  return value;
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path) {
  const auto content = ReadWholeFile(path, kMaxProfileFileBytes);
  if (!content) return CutToMaximum(defaultValue);
  CSimpleIniA ini;
  ConfigureIni(ini);
  if (ini.LoadData(content->data(), content->size()) < 0) return CutToMaximum(defaultValue);
  const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
  if (value == nullptr) return CutToMaximum(defaultValue);
  return CutToMaximum(WithoutMatchingQuotes(value));
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path) {
  // A line break in a value would start a line of its own and so forge keys or sections.
  if (IsUnsafeName(section) || IsUnsafeName(key) || HasLineBreak(value)) return false;
  ProfileWriteLock lock(path);
  if (!lock.IsHeld()) return false;

  CSimpleIniA ini;
  ConfigureIni(ini);
  if (PathExists(path)) {
    const auto content = ReadWholeFile(path, kMaxProfileFileBytes);
    if (!content) return false;
    if (ini.LoadData(content->data(), content->size()) < 0) return false;
  }
  if (ini.SetValue(section.c_str(), key.c_str(), StoredForm(value).c_str()) < 0) return false;

  std::string output;
  if (ini.Save(output, /*addSignature=*/false) < 0) return false;
  return WriteFileAtomically(path, output) == 0;
}

}  // namespace platform
