#pragma once

// The module's own log4cxx repository, shared by LoggingSetup and Logger. Private to logging/.

#include <log4cxx/logger.h>
#include <log4cxx/spi/loggerrepository.h>

#include <shared_mutex>
#include <string>

namespace logging_detail {

// Whether any statement can reach an appender: configured with logging enabled and the process
// not exiting. The fast path of every level check.
bool IsLoggingOn();

// Changes whenever the repository is made or dropped, so that loggers resolved from an older
// repository are looked up again.
unsigned RepositoryGeneration();

// The named logger of the current repository; null when there is none.
log4cxx::LoggerPtr LookUpLogger(const std::string& name);

// Installs (or, with null, drops) the repository; called by the set-up only.
void InstallRepository(log4cxx::spi::LoggerRepositoryPtr repository, bool loggingOn);
log4cxx::spi::LoggerRepositoryPtr CurrentRepository();

// Held by a statement for as long as it uses log4cxx; IsLoggingOn is asked again once it is held.
// StopForProcessExit waits for the statements under way and lets no new one in.
class StatementGate {
 public:
  StatementGate();

 private:
  std::shared_lock<std::shared_mutex> lock_;
};

// Turns logging off for the rest of the process and leaves the repository as it is: once the
// process exits, log4cxx's own objects are destroyed, and neither a statement on another thread
// nor a shutdown may use them any more. The repository goes with the process.
void StopForProcessExit();
bool IsStoppedForProcessExit();

}  // namespace logging_detail
