#include "acquisition/FileListFile.h"

#include <cerrno>
#include <fstream>

#include "logging/Logger.h"
#include "platform/FileSystem.h"

namespace {

// Errors of putting the bytes on the disk, as opposed to those of making or replacing the file.
bool IsFailureWhileWriting(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EIO;
}

}  // namespace

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

bool SaveFileList(const std::string& path, const std::vector<FileListEntry>& entries) {
  const Logger logger("MainDialog", "FolderTabDlg");
  logger.Debug("Saving files list");
  std::string text;
  for (const FileListEntry& entry : entries) text += entry.ToLine() + '\n';
  // Replaced in one step: the source reading while the dialog saves sees the old list or the
  // new one, and a save that fails part way (a full disk) leaves the old list whole.
  const int error = platform::WriteFileAtomically(path, text);
  if (error == 0) return true;
  if (IsFailureWhileWriting(error)) {
    logger.Debug("Exception during saving files list");
  } else {
    logger.Debug("Cannot open file '%s' saving files list", path);
  }
  logger.Debug("Saving files list: %s", platform::SystemErrorText(error));
  return false;
}
