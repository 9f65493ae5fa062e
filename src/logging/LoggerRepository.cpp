#include "logging/LoggerRepository.h"

#include "platform/NeverDestroyed.h"

#include <atomic>
#include <mutex>

namespace logging_detail {
namespace {

struct RepositorySlot {
  std::mutex mutex;
  log4cxx::spi::LoggerRepositoryPtr repository;
  std::atomic<bool> loggingOn{false};
  std::atomic<unsigned> generation{0};
  std::shared_mutex statements;
  bool stoppedForExit = false;  // guarded by `statements`
};

// Never destroyed: at process exit log4cxx's statics (APR's pools among them) are destroyed
// before a repository held here could be, and a repository destroyed after them frees memory
// that is gone. The repository is dropped explicitly at unload (ShutdownLogging).
RepositorySlot& Slot() {
  static platform::NeverDestroyed<RepositorySlot> slot;
  return slot.Get();
}

}  // namespace

bool IsLoggingOn() { return Slot().loggingOn.load(std::memory_order_acquire); }

unsigned RepositoryGeneration() { return Slot().generation.load(std::memory_order_acquire); }

log4cxx::LoggerPtr LookUpLogger(const std::string& name) {
  std::lock_guard lock(Slot().mutex);
  if (!Slot().repository) return nullptr;
  return Slot().repository->getLogger(name);
}

void InstallRepository(log4cxx::spi::LoggerRepositoryPtr repository, bool loggingOn) {
  std::lock_guard lock(Slot().mutex);
  Slot().repository = std::move(repository);
  Slot().loggingOn.store(loggingOn && Slot().repository != nullptr, std::memory_order_release);
  Slot().generation.fetch_add(1, std::memory_order_acq_rel);
}

log4cxx::spi::LoggerRepositoryPtr CurrentRepository() {
  std::lock_guard lock(Slot().mutex);
  return Slot().repository;
}

StatementGate::StatementGate() : lock_(Slot().statements) {}

void StopForProcessExit() {
  std::unique_lock statements(Slot().statements);
  Slot().stoppedForExit = true;
  Slot().loggingOn.store(false, std::memory_order_release);
}

bool IsStoppedForProcessExit() {
  std::shared_lock statements(Slot().statements);
  return Slot().stoppedForExit;
}

}  // namespace logging_detail
