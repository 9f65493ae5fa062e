#include "support/SourceSettings.h"

#include "settings/SettingsPlacement.h"

namespace test_support {

std::unique_ptr<SettingsStore> PrepareSourceSettings(const std::string& baseName) {
  std::unique_ptr<SettingsStore> settings = PlaceSettingsFiles(baseName);
  settings->SetDeleteFiles(false);
  return settings;
}

}  // namespace test_support
