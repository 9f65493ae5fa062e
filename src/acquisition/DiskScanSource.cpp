#include "acquisition/DiskScanSource.h"

#include <memory>
#include <string>

#include "acquisition/LoopCounter.h"
#include "acquisition/PendingImagesList.h"
#include "settings/SettingsStore.h"

ScanSource::Start DiskScanSource::Begin(PendingImagesList& pending) {
  FillFromSettings(pending);
  return Start::kDeliverNow;
}

void DiskScanSource::FillFromSettings(PendingImagesList& pending) const {
  auto loop = std::make_unique<LoopCounter>(settings_.GetRecycle(), settings_.GetPageNumber());
  const bool includeSubfolders = settings_.GetIncludeSubfolders();
  const bool deleteFiles = settings_.GetDeleteFiles();
  if (settings_.GetListMode() != 0) {
    // The entries are the file list as the Folder page last loaded it.
    pending.Init(includeSubfolders, deleteFiles, std::move(loop), /*clear=*/false);
    return;
  }
  pending.Init(includeSubfolders, deleteFiles, std::move(loop), /*clear=*/true);
  pending.AddFolder(settings_.GetExpandedCurrentDirectory());
}
