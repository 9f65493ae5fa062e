#pragma once

#include <memory>
#include <source_location>
#include <string>
#include <type_traits>

namespace log4cxx {
class Level;
}

// A format string that remembers where the statement is; converts implicitly from a literal.
struct FormatAt {
  FormatAt(const char* text, std::source_location where = std::source_location::current())
      : text(text), where(where) {}
  const char* text;
  std::source_location where;
};

// One named logger of the module's own logger repository, plus the fixed source-file name that
// every statement of its owner reports (".\Velloran.cpp" for sourceName "Velloran").
// Statements check the level first: when it is off (always so before ConfigureLogging, after
// ShutdownLogging, with logging disabled and once the process exits) nothing is formatted.
// Thread-safe, on any thread until the process has ended; copies share the underlying logger.
class Logger {
 public:
  Logger(const char* loggerName, const char* sourceName);

  bool IsDebugEnabled() const;
  bool IsErrorEnabled() const;
  bool IsFatalEnabled() const;
  // Warnings and information come only from messages forwarded with a level of their own.
  bool IsWarnEnabled() const;
  bool IsInfoEnabled() const;

  // printf-style; arguments are ints, unsigned, doubles, const char* and std::string.
  template <typename... Args>
  void Debug(FormatAt format, const Args&... args) const {
    if (IsDebugEnabled()) Write(Level::Debug, format, Message(format.text, args...));
  }
  template <typename... Args>
  void Error(FormatAt format, const Args&... args) const {
    if (IsErrorEnabled()) Write(Level::Error, format, Message(format.text, args...));
  }
  template <typename... Args>
  void Fatal(FormatAt format, const Args&... args) const {
    if (IsFatalEnabled()) Write(Level::Fatal, format, Message(format.text, args...));
  }
  template <typename... Args>
  void Warn(FormatAt format, const Args&... args) const {
    if (IsWarnEnabled()) Write(Level::Warn, format, Message(format.text, args...));
  }
  template <typename... Args>
  void Info(FormatAt format, const Args&... args) const {
    if (IsInfoEnabled()) Write(Level::Info, format, Message(format.text, args...));
  }

  const std::string& Name() const;

 private:
  struct State;  // the resolved log4cxx logger; defined with the implementation
  enum class Level { Debug, Info, Warn, Error, Fatal };

  template <typename T>
  static decltype(auto) Pass(const T& value) {
    if constexpr (std::is_same_v<T, std::string>) {
      return value.c_str();
    } else {
      static_assert(std::is_arithmetic_v<T> || std::is_enum_v<T> || std::is_pointer_v<T> ||
                        std::is_array_v<T>,
                    "log arguments are numbers, C strings or std::string");
      return (value);
    }
  }

  // Without arguments the text is taken as it stands, so a "%" in it is harmless.
  template <typename... Args>
  static std::string Message(const char* text, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
      return text ? std::string(text) : std::string();
    } else {
      return Format(text, Pass(args)...);
    }
  }
  static std::string Format(const char* format, ...);
  static std::shared_ptr<log4cxx::Level> ToLog4cxx(Level level);
  bool IsEnabled(Level level) const;
  void Write(Level level, const FormatAt& format, const std::string& message) const;

  std::shared_ptr<State> state_;
};
