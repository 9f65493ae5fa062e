#include "network/ScanFolders.h"

#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"
#include "settings/PathHelpers.h"
#include "settings/SettingsStore.h"

namespace {

constexpr const char* kTemporaryRootName = "VelloranFTP";
constexpr const char* kFolderNameFormat = "%Y-%m-%d_%H-%M-%S";

}  // namespace

std::string ScanFolders::RootFolder(const SettingsStore& settings) const {
  const std::string configured = settings.GetExpandedCurrentDirectory();
  const bool chosen = !configured.empty() && configured != "%TEMP%";
  // A relative root would put scans, and their deletion, in the application's working folder.
  if (chosen && platform::IsAbsolutePath(configured)) return configured;
  if (chosen) {
    logger_.Error("StartFtpServer: the folder \"%s\" is a relative path, the temporary folder is used instead",
                  configured);
  }
  logger_.Debug("StartFtpServer: Creating temp FTP root folder");
  const std::string root = platform::TempFolder() + "/" + kTemporaryRootName;
  if (!platform::FolderExists(root)) CreateOrLog(root);
  return root;
}

void ScanFolders::CreateOrLog(const std::string& folder) const {
  if (CreateFolderPath(folder)) return;
  logger_.Error("StartFtpServer: Cannot create folder %s, error %d", folder, platform::LastSystemError());
}

std::string ScanFolders::PrepareNext(const SettingsStore& settings) {
  const std::string root = RootFolder(settings);
  const std::string folder =
      (root.back() == '/' ? root : root + "/") + platform::FormatLocalTime(kFolderNameFormat);
  CreateOrLog(folder);
  // Two starts within one second share their folder: it is in use again, not left over.
  if (!current_.empty() && current_ != folder) DeleteCurrentIfFlagged();
  current_ = folder;
  deleteCurrent_ = settings.GetDeleteTempFolders();
  return folder;
}

void ScanFolders::DeleteCurrentIfFlagged() {
  if (!deleteCurrent_ || current_.empty()) return;
  platform::DeleteFolderTree(current_);
  current_.clear();
}
