#pragma once

#include <memory>
#include <string>

#include "settings/SettingsStore.h"

namespace test_support {

// The settings store that a data source with module base name `baseName` will
// use in the current (test) environment, placed now so that a test can set keys
// before the source is loaded. DeleteFiles is written 0: tests never lose the
// files they scan.
std::unique_ptr<SettingsStore> PrepareSourceSettings(const std::string& baseName = "velloran");

}  // namespace test_support
