#include "settings/SettingsPlacement.h"

#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/AppDataFolders.h"
#include "settings/PathHelpers.h"
#include "settings/SettingsStore.h"

#include <climits>
#include <cstdlib>

namespace {

int ReadIniVersion(const std::string& settingsFile) {
  const std::string text = platform::GetPrivateProfileString("General", "IniVersion", "1", settingsFile);
  const long long version = std::strtoll(text.c_str(), nullptr, 10);
  if (version > INT_MAX) return INT_MAX;
  if (version < INT_MIN) return INT_MIN;
  return static_cast<int>(version);
}

// <folder>/<name>_<version><extension>, beside the settings file.
std::string BackupPath(const std::string& settingsFile, int oldVersion) {
  const auto slash = settingsFile.rfind('/');
  const auto dot = settingsFile.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = hasExtension ? settingsFile.substr(0, dot) : settingsFile;
  const std::string extension = hasExtension ? settingsFile.substr(dot) : std::string();
  return stem + "_" + std::to_string(oldVersion) + extension;
}

// An older layout is replaced by the installed default file; the user's values are not merged.
void UpgradeOutdatedSettings(const SettingsLocations& locations) {
  const int defaultVersion = ReadIniVersion(locations.defaultSettingsFile);
  const int userVersion = ReadIniVersion(locations.settingsFile);
  if (userVersion >= defaultVersion) return;
  // Without a backup the user's file stays as it is: replacing it would lose it for good.
  if (!platform::CopyFileOverwrite(locations.settingsFile, BackupPath(locations.settingsFile, userVersion))) return;
  platform::CopyFileOverwrite(locations.defaultSettingsFile, locations.settingsFile);
}

}  // namespace

std::string ModuleBaseName(const std::string& modulePath) {
  const auto slash = modulePath.rfind('/');
  std::string name = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

SettingsLocations LocateSettingsFiles(const std::string& moduleBaseName, const std::string& makerFolderName) {
  SettingsLocations locations;
  locations.userFolder = platform::AppDataFolder() + "/" + makerFolderName + "/" + moduleBaseName + "/";
  locations.commonFolder = platform::CommonAppDataFolder() + "/" + makerFolderName + "/" + moduleBaseName + "/";
  locations.settingsFile = locations.userFolder + moduleBaseName + ".ini";
  locations.logFile = locations.userFolder + moduleBaseName + ".log";
  locations.logConfigFile = locations.userFolder + moduleBaseName + "Log.ini";
  locations.fileListFile = locations.userFolder + moduleBaseName + ".flist";
  locations.defaultSettingsFile = locations.commonFolder + moduleBaseName + ".ini";
  locations.defaultLogConfigFile = locations.commonFolder + moduleBaseName + "Log.ini";
  return locations;
}

std::unique_ptr<SettingsStore> PlaceSettingsFiles(const std::string& moduleBaseName,
                                                  const std::string& makerFolderName) {
  const SettingsLocations locations = LocateSettingsFiles(moduleBaseName, makerFolderName);
  CreateFolderPath(locations.userFolder);
  CreateFolderPath(locations.commonFolder);
  if (!platform::PathExists(locations.settingsFile)) {
    platform::CopyFileNoOverwrite(locations.defaultSettingsFile, locations.settingsFile);
    platform::CopyFileNoOverwrite(locations.defaultLogConfigFile, locations.logConfigFile);
  } else {
    UpgradeOutdatedSettings(locations);
  }
  return std::make_unique<SettingsStore>(locations.settingsFile, locations.logFile, locations.logConfigFile,
                                         locations.fileListFile);
}
