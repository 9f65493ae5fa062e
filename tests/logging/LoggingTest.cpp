#include "logging/Logger.h"
#include "logging/LoggingSetup.h"

#include "platform/MessageBox.h"
#include "settings/SettingsStore.h"
#include "support/ScopedEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <log4cxx/fileappender.h>
#include <log4cxx/logmanager.h>
#include <log4cxx/patternlayout.h>

#include <regex>

namespace {

using test_support::ScopedEnvironment;

class LoggingTest : public ::testing::Test {
 protected:
  ~LoggingTest() override { ShutdownLogging(); }

  std::string Path(const char* name) const { return (env_.Temp() / name).string(); }
  void WriteSettings(const std::string& content) const { ScopedEnvironment::WriteFile(Path("VELLORAN.ini"), content); }
  void WriteLogConfig(const std::string& content) const {
    ScopedEnvironment::WriteFile(Path("VELLORANLog.ini"), content);
  }
  std::string LogText() const { return ScopedEnvironment::ReadFile(Path("VELLORAN.log")); }
  bool LogExists() const { return std::filesystem::exists(Path("VELLORAN.log")); }

  ScopedEnvironment env_;
  SettingsStore settings_{Path("VELLORAN.ini"), Path("VELLORAN.log"), Path("VELLORANLog.ini"), Path("VELLORAN.flist")};
};

TEST_F(LoggingTest, EnabledWithEmptyConfigurationAppendsBuiltInLinesToTheLogFile) {
  WriteSettings("[Logger]\nLoggerEnabled=1\n");
  WriteLogConfig("");
  ScopedEnvironment::WriteFile(Path("VELLORAN.log"), "line of an earlier run\n");
  ConfigureLogging(settings_);

  const Logger logger("Velloran", "Velloran");
  ASSERT_TRUE(logger.IsDebugEnabled());
  logger.Debug("StartFtpServer: Starting FTP Server");
  logger.Error("StartFtpServer: Cannot create folder %s, error %d", std::string("/scans/x"), 13);
  Logger("Capabilities", "CapStateStorageItem").Fatal("%u%% of %.1f", 50u, 2.5);

  const std::string text = LogText();
  EXPECT_EQ(text.rfind("line of an earlier run\n", 0), 0u);
  const std::string stamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3} \[[^\]]+\] )";
  EXPECT_TRUE(std::regex_search(text, std::regex(stamp + R"(DEBUG Velloran: StartFtpServer: Starting FTP Server\n)")))
      << text;
  EXPECT_TRUE(std::regex_search(
      text, std::regex(stamp + R"(ERROR Velloran: StartFtpServer: Cannot create folder /scans/x, error 13\n)")))
      << text;
  EXPECT_TRUE(std::regex_search(text, std::regex(stamp + R"(FATAL Capabilities: 50% of 2\.5\n)"))) << text;
}

TEST_F(LoggingTest, TextWithoutArgumentsIsTakenAsItStands) {
  WriteSettings("[Logger]\nLoggerEnabled=1\n");
  ConfigureLogging(settings_);
  Logger("Velloran", "Velloran").Debug("100% done %s");
  EXPECT_THAT(LogText(), ::testing::HasSubstr("Velloran: 100% done %s\n"));
}

TEST_F(LoggingTest, StatementsReportTheOwnersSourceFileAndTheirLine) {
  WriteSettings("[Logger]\nLoggerEnabled=1\n");
  WriteLogConfig(
      "log4j.rootLogger=DEBUG, located\n"
      "log4j.appender.located=org.apache.log4j.FileAppender\n"
      "log4j.appender.located.File=" + Path("located.log") + "\n"
      "log4j.appender.located.layout=org.apache.log4j.PatternLayout\n"
      "log4j.appender.located.layout.ConversionPattern=%F:%L %m%n\n");
  ConfigureLogging(settings_);

  const int line = __LINE__ + 1;
  Logger("TwainDriver", "TwainDriver").Debug("located");

  EXPECT_EQ(ScopedEnvironment::ReadFile(Path("located.log")), ".\\TwainDriver.cpp:" + std::to_string(line) + " located\n");
}

TEST_F(LoggingTest, AConfigurationWithItsOwnRootAppenderSuppressesTheBuiltInOne) {
  WriteSettings("[Logger]\nLoggerEnabled=1\n");
  WriteLogConfig(
      "log4j.rootLogger=DEBUG, own\n"
      "log4j.appender.own=org.apache.log4j.FileAppender\n"
      "log4j.appender.own.File=" + Path("own.log") + "\n"
      "log4j.appender.own.layout=org.apache.log4j.PatternLayout\n"
      "log4j.appender.own.layout.ConversionPattern=%p %c %m%n\n");
  ConfigureLogging(settings_);

  Logger("Velloran", "Velloran").Debug("to the configured appender");

  EXPECT_EQ(ScopedEnvironment::ReadFile(Path("own.log")), "DEBUG Velloran to the configured appender\n");
  EXPECT_FALSE(LogExists());
}

TEST_F(LoggingTest, ConfiguredLevelsApplyToOurLoggers) {
  WriteSettings("[Logger]\nLoggerEnabled=\n");  // empty switches logging on
  WriteLogConfig("log4j.rootLogger=ERROR\n");
  ConfigureLogging(settings_);

  const Logger logger("Velloran", "Velloran");
  EXPECT_FALSE(logger.IsDebugEnabled());
  EXPECT_TRUE(logger.IsErrorEnabled());
  logger.Debug("trace");
  logger.Error("failure");
  EXPECT_THAT(LogText(), ::testing::Not(::testing::HasSubstr("trace")));
  EXPECT_THAT(LogText(), ::testing::HasSubstr("ERROR Velloran: failure"));
}

// A host application that uses log4cxx itself, through the default repository.
class HostLoggingTest : public LoggingTest {
 protected:
  HostLoggingTest() {
    auto layout = std::make_shared<log4cxx::PatternLayout>("%c %m%n");
    hostAppender_ = std::make_shared<log4cxx::FileAppender>(layout, Path("host.log"), true, false, 1024);
    hostAppender_->setName("host");
    log4cxx::LogManager::getRootLogger()->addAppender(hostAppender_);
    log4cxx::LogManager::getRootLogger()->setLevel(log4cxx::Level::getInfo());
  }
  ~HostLoggingTest() override {
    log4cxx::LogManager::getRootLogger()->removeAppender(hostAppender_);
    hostAppender_->close();
  }
  std::string HostLog() const { return ScopedEnvironment::ReadFile(Path("host.log")); }
  void ExpectHostConfigurationIntact() const {
    const auto root = log4cxx::LogManager::getRootLogger();
    EXPECT_EQ(root->getLevel(), log4cxx::Level::getInfo());
    ASSERT_EQ(root->getAllAppenders().size(), 1u);
    EXPECT_EQ(root->getAllAppenders().front(), hostAppender_);
    LOG4CXX_INFO(log4cxx::Logger::getLogger("Host"), "host still logs");
    EXPECT_THAT(HostLog(), ::testing::HasSubstr("Host host still logs\n"));
  }

  log4cxx::AppenderPtr hostAppender_;
};

TEST_F(HostLoggingTest, LoggingOffWritesNothingAnywhereAndLeavesTheHostAlone) {
  WriteSettings("[General]\nMode=1\n");  // LoggerEnabled absent
  WriteLogConfig(
      "log4j.rootLogger=DEBUG, own\n"
      "log4j.appender.own=org.apache.log4j.FileAppender\n"
      "log4j.appender.own.File=" + Path("own.log") + "\n"
      "log4j.appender.own.layout=org.apache.log4j.SimpleLayout\n");
  ConfigureLogging(settings_);

  const Logger logger("Velloran", "Velloran");
  EXPECT_FALSE(logger.IsDebugEnabled());
  EXPECT_FALSE(logger.IsErrorEnabled());
  logger.Error("never written");
  logger.Fatal("never written");
  ShutdownLogging();

  EXPECT_FALSE(LogExists());
  EXPECT_FALSE(std::filesystem::exists(Path("own.log")));
  EXPECT_THAT(HostLog(), ::testing::Not(::testing::HasSubstr("never written")));
  ExpectHostConfigurationIntact();
}

TEST_F(HostLoggingTest, OurStatementsAndTheHostsStayInTheirOwnFiles) {
  WriteSettings("[Logger]\nLoggerEnabled=1\n");
  ConfigureLogging(settings_);

  Logger("Velloran", "Velloran").Error("ours");
  LOG4CXX_ERROR(log4cxx::Logger::getLogger("Velloran"), "theirs");
  ShutdownLogging();

  EXPECT_THAT(LogText(), ::testing::HasSubstr("Velloran: ours"));
  EXPECT_THAT(LogText(), ::testing::Not(::testing::HasSubstr("theirs")));
  EXPECT_THAT(HostLog(), ::testing::HasSubstr("Velloran theirs"));
  EXPECT_THAT(HostLog(), ::testing::Not(::testing::HasSubstr("ours")));
  ExpectHostConfigurationIntact();
}

TEST_F(LoggingTest, OnlyTheFirstConfigurationCountsUntilShutdown) {
  WriteSettings("[Logger]\nLoggerEnabled=0\n");
  ConfigureLogging(settings_);
  WriteSettings("[Logger]\nLoggerEnabled=1\n");
  ConfigureLogging(settings_);
  const Logger logger("Velloran", "Velloran");
  EXPECT_FALSE(logger.IsDebugEnabled());

  // A module loaded again configures afresh; loggers made earlier follow the new repository.
  ShutdownLogging();
  ConfigureLogging(settings_);
  EXPECT_TRUE(logger.IsDebugEnabled());
  logger.Debug("after reload");
  EXPECT_THAT(LogText(), ::testing::HasSubstr("Velloran: after reload"));
}

TEST_F(LoggingTest, NothingIsWrittenBeforeConfigurationOrAfterShutdown) {
  WriteSettings("[Logger]\nLoggerEnabled=1\n");
  const Logger logger("Velloran", "Velloran");
  logger.Error("too early");
  ConfigureLogging(settings_);
  logger.Error("in time");
  ShutdownLogging();
  EXPECT_FALSE(logger.IsErrorEnabled());
  logger.Error("too late");
  EXPECT_THAT(LogText(), ::testing::HasSubstr("in time"));
  EXPECT_THAT(LogText(), ::testing::Not(::testing::HasSubstr("too")));
}

TEST_F(LoggingTest, MessageBoxesWithoutAPresenterGoToTheLog) {
  WriteSettings("[Logger]\nLoggerEnabled=1\n");
  ConfigureLogging(settings_);
  platform::ShowMessageBox("Log file is not found.", "Error", platform::MessageIcon::Error);
  EXPECT_THAT(LogText(), ::testing::HasSubstr("ERROR MessageBox: Error: Log file is not found."));
}

size_t CountEntries(const char* folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// The module is loaded and unloaded many times in one process: each cycle must give back its
// threads and files (leaked memory is the sanitizer build's to find).
TEST_F(LoggingTest, RepeatedConfigureAndShutdownLeavesNoThreadsOrOpenFiles) {
  WriteSettings("[Logger]\nLoggerEnabled=1\n");
  WriteLogConfig("log4j.logger.Velloran=DEBUG\n");
  ConfigureLogging(settings_);
  Logger("Velloran", "Velloran").Debug("warm-up");
  ShutdownLogging();
  const size_t threads = CountEntries("/proc/self/task");
  const size_t files = CountEntries("/proc/self/fd");

  for (int cycle = 0; cycle < 1000; ++cycle) {
    ConfigureLogging(settings_);
    Logger("Velloran", "Velloran").Debug("cycle %d", cycle);
    ShutdownLogging();
  }

  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
  EXPECT_EQ(CountEntries("/proc/self/fd"), files);
  EXPECT_THAT(LogText(), ::testing::HasSubstr("Velloran: cycle 999\n"));
}

}  // namespace
