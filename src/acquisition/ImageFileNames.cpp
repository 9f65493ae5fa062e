#include "acquisition/ImageFileNames.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "settings/SettingsStore.h"

namespace {

constexpr std::array<std::string_view, 17> kImageExtensions{
    ".png", ".jbg", ".tif", ".tiff", ".jpg", ".jng", ".mng", ".gif", ".bmp",
    ".ico", ".tga", ".pcx", ".wmf", ".jp2", ".j2k", ".raw", ".pdf"};

constexpr std::string_view kScanFinishedMarker = "SCANFINISHEDMARKER.MRK";
constexpr std::string_view kXeroxFinishedMarker = "XEROXFINISHEDMARKER.MRK";

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view left, std::string_view right) {
  return left.size() == right.size() &&
         std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

}  // namespace

std::string PathExtension(const std::string& path) {
  const std::size_t nameStart = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart)) return {};
  return path.substr(dot);
}

bool IsSupportedImageFile(const std::string& path) {
  const std::string extension = PathExtension(path);
  return std::any_of(kImageExtensions.begin(), kImageExtensions.end(),
                     [&](std::string_view known) { return EqualsIgnoringCase(extension, known); });
}

bool IsPdfFile(const std::string& path) { return EqualsIgnoringCase(PathExtension(path), ".pdf"); }

bool IsMarkerFile(const std::string& path, const SettingsStore& settings) {
  if (path.find(kScanFinishedMarker) != std::string::npos) return true;
  return path.find(kXeroxFinishedMarker) != std::string::npos && settings.GetXeroxStopMarkerEnable();
}
