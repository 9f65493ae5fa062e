#pragma once

// The module's own log4cxx repository, shared by LoggingSetup and Logger. Private to logging/.

#include <log4cxx/logger.h>
#include <log4cxx/spi/loggerrepository.h>

#include <string>

namespace logging_detail {

// Whether any statement can reach an appender: configured with logging enabled. The fast path of
// every level check.
bool IsLoggingOn();

// Changes whenever the repository is made or dropped, so that loggers resolved from an older
// repository are looked up again.
unsigned RepositoryGeneration();

// The named logger of the current repository; null when there is none.
log4cxx::LoggerPtr LookUpLogger(const std::string& name);

// Installs (or, with null, drops) the repository; called by the set-up only.
void InstallRepository(log4cxx::spi::LoggerRepositoryPtr repository, bool loggingOn);
log4cxx::spi::LoggerRepositoryPtr CurrentRepository();

}  // namespace logging_detail
