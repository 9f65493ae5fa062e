#include "acquisition/FileListFile.h"

#include <fstream>

#include "logging/Logger.h"

std::vector<FileListEntry> LoadFileList(const std::string& path) {
  const Logger logger("MainDialog", "FolderTabDlg");
  logger.Debug("Loading files list");
  std::vector<FileListEntry> entries;
  std::ifstream in(path);
  if (!in.is_open()) {
    logger.Debug("No file '%s' with files list", path);
    return entries;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    FileListEntry entry;
    entry.FromLine(line);
    entries.push_back(std::move(entry));
  }
  if (in.bad()) logger.Debug("Exception during loading files list");
  return entries;
}

void SaveFileList(const std::string& path, const std::vector<FileListEntry>& entries) {
  const Logger logger("MainDialog", "FolderTabDlg");
  logger.Debug("Saving files list");
  std::ofstream out(path, std::ios::trunc);
  if (!out.is_open()) {
    logger.Debug("Cannot open file '%s' saving files list", path);
    return;
  }
  for (const FileListEntry& entry : entries) out << entry.ToLine() << '\n';
  out.flush();
  if (!out) logger.Debug("Exception during saving files list");
}
