#pragma once

#include <string>
#include <vector>

#include "acquisition/FileListEntry.h"

// The file-list file: one FileListEntry line per file, in list order. The user interface
// writes it after the file list editor is confirmed; the source reads it into the pending
// list when the Folder page shows.

// The entries of the file; empty (and logged) when it cannot be opened. Every line, an empty
// one included, is one entry; a line end may be LF or CR LF. A read that fails part way keeps
// what was read.
std::vector<FileListEntry> LoadFileList(const std::string& path);

// Writes every entry as one line and replaces the file with them in one step, so that a reader
// sees the old list or the new one and a failed save leaves the old list as it was. Failures
// are logged; returns whether the list was saved.
bool SaveFileList(const std::string& path, const std::vector<FileListEntry>& entries);
