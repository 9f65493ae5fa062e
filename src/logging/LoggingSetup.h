#pragma once

class SettingsStore;

// Configures the module's own log4cxx logger repository from the settings: with LoggerEnabled
// on, the logging configuration file is read into it and, when that leaves the root logger
// without an appender, the built-in file appender "A1" writing the log file is added; with
// LoggerEnabled off every level is off and nothing is read or written. The repository is
// private to this module: a host application's own log4cxx configuration is never read or
// changed. Runs once; later calls do nothing until ShutdownLogging.
// Once the process starts to exit (a return from main or exit() on any thread), logging is off
// for good and the repository is left to the end of the process: statements on other threads
// write nothing, and a set-up or shutdown does nothing.
void ConfigureLogging(const SettingsStore& settings);

// Closes every appender and drops the repository, at module unload. Loggers created earlier
// stay valid and write nothing.
void ShutdownLogging();
