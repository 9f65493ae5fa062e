#include "DataSourceManager.h"

#include <utility>
#include <vector>

namespace twacquire {

namespace {

constexpr const char* kInstalledManager = "libtwaindsm.so.2";

}  // namespace

DataSourceManager::DataSourceManager(platform::Module module, DSMENTRYPROC entry, std::string description)
    : module_(std::make_shared<platform::Module>(std::move(module))), entry_(entry),
      description_(std::move(description)) {}

std::optional<DataSourceManager> DataSourceManager::Load(const std::string& explicitPath,
                                                         const std::string& fallbackPath, std::string& error) {
  struct Candidate {
    std::string name;
    std::string description;
  };
  std::vector<Candidate> candidates;
  if (!explicitPath.empty()) {
    candidates.push_back({explicitPath, explicitPath});
  } else {
    candidates.push_back({kInstalledManager, std::string(kInstalledManager) + " (installed)"});
    if (!fallbackPath.empty()) candidates.push_back({fallbackPath, fallbackPath + " (test manager of the build tree)"});
  }
  error.clear();
  for (const Candidate& candidate : candidates) {
    platform::Module module = platform::Module::Load(candidate.name);
    if (!module.IsLoaded()) {
      error += "cannot load " + candidate.name + ": " + platform::LastModuleError() + "\n";
      continue;
    }
    auto* entry = reinterpret_cast<DSMENTRYPROC>(module.Symbol("DSM_Entry"));
    if (entry == nullptr) {
      error += candidate.name + " has no DSM_Entry\n";
      continue;
    }
    return DataSourceManager(std::move(module), entry, candidate.description);
  }
  return std::nullopt;
}

namespace {

using SetSourcePath = void (*)(const char*);

}  // namespace

bool DataSourceManager::AcceptsSourceFile() const { return module_->Symbol("TestDsm_SetSourcePath") != nullptr; }

void DataSourceManager::OfferSourceFile(const std::string& path) const {
  if (auto* setSourcePath = reinterpret_cast<SetSourcePath>(module_->Symbol("TestDsm_SetSourcePath"))) {
    setSourcePath(path.c_str());
  }
}

}  // namespace twacquire
