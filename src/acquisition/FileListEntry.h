#pragma once

#include <cstdint>
#include <set>
#include <string>

// One file of a batch with the pages of it that must not be delivered (0 = first page).
// Its text form is one line of the file-list file: the path alone, or the path, "|" and each
// excluded index followed by ";" in ascending order ("/scans/a.tif|1;3;" skips the second and
// the fourth page).
struct FileListEntry {
  FileListEntry() = default;
  explicit FileListEntry(std::string filePath) : path(std::move(filePath)) {}

  std::string ToLine() const;
  // Replaces the entry with what the line says. Pieces between ";" that are not numbers read 0;
  // text after the last ";" is ignored.
  void FromLine(const std::string& line);

  bool IsExcluded(int32_t page) const { return excludedPages.count(page) != 0; }
  bool HasExcludedPages() const { return !excludedPages.empty(); }
  // The first page from `first` on, below `pageCount`, that is not excluded; -1 when none.
  int32_t FirstIncludedPage(int32_t first, int32_t pageCount) const;

  std::string path;
  std::set<int32_t> excludedPages;
};
