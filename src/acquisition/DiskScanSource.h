#pragma once

#include "acquisition/ScanSource.h"

class SettingsStore;

// The pages of image files on disk: the folder of CurrentDirectory (with its subfolders when
// asked), or the file list as the Folder page last loaded it into the pending list.
class DiskScanSource final : public ScanSource {
 public:
  explicit DiskScanSource(const SettingsStore& settings) : settings_(settings) {}

  // The batch is complete before it starts: FillFromSettings.
  Start Begin(PendingImagesList& pending) override;
  // Fills the list from the settings read now.
  void FillFromSettings(PendingImagesList& pending) const;
  bool MayReceiveMore() const override { return false; }

 private:
  const SettingsStore& settings_;
};
