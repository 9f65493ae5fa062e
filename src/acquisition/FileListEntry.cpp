#include "acquisition/FileListEntry.h"

#include <climits>
#include <cstdlib>

namespace {

// Decimal text as the C library reads it (leading blanks, a sign, digits up to the first
// other character; no digits read 0), clamped to the 32-bit range instead of overflowing.
int32_t ReadPageNumber(const std::string& piece) {
  const long long value = std::strtoll(piece.c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace

std::string FileListEntry::ToLine() const {
  if (excludedPages.empty()) return path;
  std::string line = path + "|";
  for (int32_t page : excludedPages) line += std::to_string(page) + ";";
  return line;
}

void FileListEntry::FromLine(const std::string& line) {
  excludedPages.clear();
  const std::size_t bar = line.find('|');
  if (bar == std::string::npos) {
    path = line;
    return;
  }
  path = line.substr(0, bar);
  std::size_t start = bar + 1;
  for (std::size_t end = line.find(';', start); end != std::string::npos; end = line.find(';', start)) {
    excludedPages.insert(ReadPageNumber(line.substr(start, end - start)));
    start = end + 1;
  }
}

int32_t FileListEntry::FirstIncludedPage(int32_t first, int32_t pageCount) const {
  for (int32_t page = first < 0 ? 0 : first; page < pageCount; ++page) {
    if (!IsExcluded(page)) return page;
  }
  return -1;
}
