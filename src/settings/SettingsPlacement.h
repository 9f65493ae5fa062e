#pragma once

#include <memory>
#include <string>

class SettingsStore;

// The maker folder that holds the settings of each of the maker's modules.
inline constexpr const char* kDefaultMakerFolderName = "Oskaveld";

// Paths of the per-user and all-users settings for one module base name (without extension).
struct SettingsLocations {
  std::string userFolder;    // <AppData>/<maker>/<base>/
  std::string commonFolder;  // <CommonAppData>/<maker>/<base>/
  std::string settingsFile;
  std::string logFile;
  std::string logConfigFile;
  std::string fileListFile;
  std::string defaultSettingsFile;
  std::string defaultLogConfigFile;
};

SettingsLocations LocateSettingsFiles(const std::string& moduleBaseName,
                                      const std::string& makerFolderName = kDefaultMakerFolderName);

// Called once when the module is loaded, before logging is configured: creates both folders,
// copies the all-users default settings and logging configuration to a user who has no settings
// file yet, replaces an outdated user settings file by the default one (keeping a backup named
// <base>_<old IniVersion>.ini), and returns the one store. Failures along the way are ignored:
// a missing file reads as defaults.
std::unique_ptr<SettingsStore> PlaceSettingsFiles(const std::string& moduleBaseName,
                                                  const std::string& makerFolderName = kDefaultMakerFolderName);

// The base name of a module file: the file name without folder and extension.
std::string ModuleBaseName(const std::string& modulePath);
