// A shared module that sets up and tears down logging the way velloran.ds does at load and
// unload, so that a test can load and unload it many times in one process.

#include "logging/Logger.h"
#include "logging/LoggingSetup.h"
#include "settings/SettingsStore.h"

extern "C" __attribute__((visibility("default"))) void RunLoggingProbe(const char* folder, int cycle) {
  const std::string base = std::string(folder) + "/VELLORAN";
  const SettingsStore settings(base + ".ini", base + ".log", base + "Log.ini", base + ".flist");
  ConfigureLogging(settings);
  Logger("Velloran", "Velloran").Debug("probe cycle %d", cycle);
  ShutdownLogging();
}
