#include "logging/LoggerRepository.h"

#include <atomic>
#include <mutex>

namespace logging_detail {
namespace {

struct RepositorySlot {
  std::mutex mutex;
  log4cxx::spi::LoggerRepositoryPtr repository;
  std::atomic<bool> loggingOn{false};
  std::atomic<unsigned> generation{0};
};

RepositorySlot& Slot() {
  static RepositorySlot slot;
  return slot;
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

}  // namespace logging_detail
