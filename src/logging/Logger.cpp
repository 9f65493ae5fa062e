#include "logging/Logger.h"

#include "logging/LoggerRepository.h"

#include <log4cxx/level.h>
#include <log4cxx/spi/location/locationinfo.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

struct Logger::State {
  std::string name;
  std::string sourceFile;       // ".\Velloran.cpp": must outlive every event that points to it
  std::string shortSourceFile;  // "Velloran.cpp"

  std::mutex mutex;
  unsigned generation = ~0u;
  log4cxx::LoggerPtr logger;

  // The log4cxx logger of the current repository, looked up again after a reconfiguration.
  log4cxx::LoggerPtr Resolve() {
    const unsigned current = logging_detail::RepositoryGeneration();
    std::lock_guard lock(mutex);
    if (generation != current) {
      logger = logging_detail::LookUpLogger(name);
      generation = current;
    }
    return logger;
  }
};

Logger::Logger(const char* loggerName, const char* sourceName) : state_(std::make_shared<State>()) {
  state_->name = loggerName ? loggerName : "";
  const std::string source = sourceName ? sourceName : "";
  state_->sourceFile = ".\\" + source + ".cpp";
  state_->shortSourceFile = source + ".cpp";
}

const std::string& Logger::Name() const { return state_->name; }

bool Logger::IsDebugEnabled() const { return IsEnabled(Level::Debug); }
bool Logger::IsErrorEnabled() const { return IsEnabled(Level::Error); }
bool Logger::IsFatalEnabled() const { return IsEnabled(Level::Fatal); }
bool Logger::IsWarnEnabled() const { return IsEnabled(Level::Warn); }
bool Logger::IsInfoEnabled() const { return IsEnabled(Level::Info); }

bool Logger::IsEnabled(Level level) const {
  if (!logging_detail::IsLoggingOn()) return false;
  const logging_detail::StatementGate gate;
  if (!logging_detail::IsLoggingOn()) return false;
  const auto logger = state_->Resolve();
  return logger && logger->isEnabledFor(ToLog4cxx(level));
}

std::string Logger::Format(const char* format, ...) {
  if (format == nullptr) return {};
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) {
    va_end(args);
    return format;
  }
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  return std::string(buffer.data(), static_cast<size_t>(length));
}

log4cxx::LevelPtr Logger::ToLog4cxx(Level level) {
  switch (level) {
    case Level::Debug:
      return log4cxx::Level::getDebug();
    case Level::Info:
      return log4cxx::Level::getInfo();
    case Level::Warn:
      return log4cxx::Level::getWarn();
    case Level::Error:
      return log4cxx::Level::getError();
    case Level::Fatal:
      return log4cxx::Level::getFatal();
  }
  return log4cxx::Level::getOff();
}

void Logger::Write(Level level, const FormatAt& format, const std::string& message) const {
  const logging_detail::StatementGate gate;
  // The process may have started to exit since the level was checked.
  if (!logging_detail::IsLoggingOn()) return;
  const auto logger = state_->Resolve();
  if (!logger) return;
  const log4cxx::spi::LocationInfo location(state_->sourceFile.c_str(), state_->shortSourceFile.c_str(),
                                            format.where.function_name(),
                                            static_cast<int>(format.where.line()));
  logger->log(ToLog4cxx(level), message, location);
}
