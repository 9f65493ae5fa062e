#pragma once

#include <string>

#include "logging/Logger.h"

class SettingsStore;

// The folders a network scan receives into: below the root (CurrentDirectory, or the temporary
// folder's "VelloranFTP"), one folder per start named from the local time. The folder of the
// previous start is remembered with its delete flag (DeleteTempFolders when it was made), so
// that the next start or a stop can remove it. Used on the application's thread only.
class ScanFolders {
 public:
  // Makes the folder for a new scan (failures are logged; the server's start then decides),
  // deletes the previous one when its flag says so, and returns the new one.
  std::string PrepareNext(const SettingsStore& settings);
  // Deletes the remembered folder when its flag says so, and forgets it then.
  void DeleteCurrentIfFlagged();
  const std::string& Current() const { return current_; }

 private:
  std::string RootFolder(const SettingsStore& settings) const;
  void CreateOrLog(const std::string& folder) const;

  std::string current_;
  bool deleteCurrent_ = false;
  Logger logger_{"Velloran", "Velloran"};
};
