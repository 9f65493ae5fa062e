#include "logging/LoggingSetup.h"

#include "logging/Logger.h"
#include "logging/LoggerRepository.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Module.h"
#include "settings/SettingsStore.h"

#include <log4cxx/file.h>
#include <log4cxx/fileappender.h>
#include <log4cxx/hierarchy.h>
#include <log4cxx/level.h>
#include <log4cxx/patternlayout.h>
#include <log4cxx/propertyconfigurator.h>

#include <cstdlib>
#include <mutex>

namespace {

constexpr const char* kBuiltInAppenderName = "A1";
constexpr const char* kBuiltInPattern = "%d{ISO8601} [%t] %-5p %c: %m%n";

std::mutex& SetupMutex() {
  static std::mutex mutex;
  return mutex;
}

void AddBuiltInAppender(const log4cxx::LoggerPtr& root, const std::string& logFile) {
  auto layout = std::make_shared<log4cxx::PatternLayout>(kBuiltInPattern);
  auto appender = std::make_shared<log4cxx::FileAppender>(layout, logFile, /*append=*/true, /*bufferedIO=*/false,
                                                          /*bufferSize=*/8 * 1024);
  appender->setName(kBuiltInAppenderName);
  root->addAppender(appender);
}

// Without a display a message box has nowhere to go but the log.
void LogMessageBox(const platform::MessageBoxRequest& request) {
  Logger("MessageBox", "MessageBox").Error("%s: %s", request.caption, request.text);
}

void StopLoggingAtProcessExit() { logging_detail::StopForProcessExit(); }

// Exit handlers run in the reverse order of their registration, and log4cxx registers the
// destruction of its statics (APR's termination among them) when it first makes them. Registered
// once a repository exists, this one runs before those destructors.
void WatchProcessExit() {
  static bool watching = false;  // guarded by SetupMutex
  if (!watching) watching = platform::RunAtModuleExit(StopLoggingAtProcessExit);
}

}  // namespace

void ConfigureLogging(const SettingsStore& settings) {
  std::lock_guard lock(SetupMutex());
  if (logging_detail::CurrentRepository() || logging_detail::IsStoppedForProcessExit()) return;

  // A repository of our own: the host application may use log4cxx itself, and its default
  // repository must neither receive our statements nor lose its configuration to ours.
  log4cxx::HierarchyPtr hierarchy = log4cxx::Hierarchy::create();
  // Marked configured so that nothing runs log4cxx's default configurator on it.
  hierarchy->setConfigured(true);
  const log4cxx::LoggerPtr root = hierarchy->getRootLogger();

  const bool loggingOn = settings.GetLoggerEnabled();
  if (loggingOn) {
    const std::string& configFile = settings.GetLogConfigFilePath();
    // A watched configuration would start a thread that outlives the module: read it once.
    if (platform::RegularFileExists(configFile)) {
      log4cxx::PropertyConfigurator().doConfigure(log4cxx::File(configFile), hierarchy);
    }
    if (root->getAllAppenders().empty()) AddBuiltInAppender(root, settings.GetLogFilePath());
  } else {
    hierarchy->setThreshold(log4cxx::Level::getOff());
    root->setLevel(log4cxx::Level::getOff());
  }
  logging_detail::InstallRepository(hierarchy, loggingOn);
  platform::SetMessageBoxLog(LogMessageBox);
  WatchProcessExit();
}

void ShutdownLogging() {
  std::lock_guard lock(SetupMutex());
  const auto repository = logging_detail::CurrentRepository();
  // Once the process exits, log4cxx may have destroyed what a shutdown needs.
  if (!repository || logging_detail::IsStoppedForProcessExit()) return;
  platform::SetMessageBoxLog(nullptr);
  logging_detail::InstallRepository(nullptr, false);
  repository->shutdown();  // closes and removes every appender, releasing the files
  if (auto hierarchy = std::dynamic_pointer_cast<log4cxx::Hierarchy>(repository)) hierarchy->clear();
}
