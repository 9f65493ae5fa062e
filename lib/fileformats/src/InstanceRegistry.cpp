#include "InstanceRegistry.h"

#include <climits>

#include "PopplerMessages.h"

namespace fileformats {

InstanceRegistry& InstanceRegistry::Get() {
  // Made on first use, never destroyed: a call may still arrive while the process exits.
  static auto* registry = new InstanceRegistry();
  return *registry;
}

DplInstance InstanceRegistry::Create() {
  CapturePopplerMessages();
  auto instance = std::make_shared<PdfInstance>();
  const std::lock_guard lock(mutex_);
  if (nextId_ == INT32_MAX) return 0;
  const DplInstance id = nextId_++;
  instances_.emplace(id, std::move(instance));
  return id;
}

void InstanceRegistry::Release(DplInstance id) {
  std::shared_ptr<PdfInstance> released;
  {
    const std::lock_guard lock(mutex_);
    const auto found = instances_.find(id);
    if (found == instances_.end()) return;
    released = std::move(found->second);
    instances_.erase(found);
  }
  // Closing the documents waits for a call in progress on the instance.
  const std::lock_guard lock(released->Lock());
}

std::shared_ptr<PdfInstance> InstanceRegistry::Find(DplInstance id) {
  const std::lock_guard lock(mutex_);
  const auto found = instances_.find(id);
  return found == instances_.end() ? nullptr : found->second;
}

}  // namespace fileformats
