#include "DirectoryListing.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <vector>

namespace ftpserv {
namespace {

std::string ModeText(mode_t mode) {
  std::string text = S_ISDIR(mode) ? "d" : S_ISLNK(mode) ? "l" : "-";
  constexpr std::array<mode_t, 9> kBits = {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP, S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};
  for (size_t i = 0; i < kBits.size(); ++i) text.push_back((mode & kBits[i]) ? "rwx"[i % 3] : '-');
  return text;
}

std::string TimeText(time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  const time_t now = time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  std::array<char, 32> text{};
  strftime(text.data(), text.size(), local.tm_year == today.tm_year ? "%b %d %H:%M" : "%b %d  %Y", &local);
  return text.data();
}

std::string EntryLine(const std::string& name, const struct stat& info, ListingStyle style) {
  if (style == ListingStyle::NamesOnly) return name + "\r\n";
  return ModeText(info.st_mode) + " 1 ftp ftp " + std::to_string(info.st_size) + " " + TimeText(info.st_mtime) +
         " " + name + "\r\n";
}

}  // namespace

std::optional<std::string> ListPath(const std::filesystem::path& path, ListingStyle style) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return std::nullopt;
  if (!S_ISDIR(info.st_mode)) return EntryLine(path.filename().string(), info, style);

  std::error_code error;
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.empty() && name.front() != '.') names.push_back(name);
  }
  if (error) return std::nullopt;
  std::sort(names.begin(), names.end());
  std::string listing;
  for (const auto& name : names) {
    if (lstat((path / name).c_str(), &info) == 0) listing += EntryLine(name, info, style);
  }
  return listing;
}

}  // namespace ftpserv
