#pragma once

// An application driving velloran.ds through the test manager for MFP scans: the FTP server's
// settings, the triplets of a batch, and curl uploading to the source's server as an MFP does.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imaging/CxImage.h"
#include "session/Polling.h"
#include "settings/SettingsStore.h"
#include "support/FtpClient.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "support/TwainSession.h"

namespace mfp_test {

using session_test::WaitUntil;
using test_support::LoopbackPort;

inline constexpr const char* kUser = "scanner";
inline constexpr const char* kPassword = "Pa55word";
inline constexpr const char* kMarker = "SCANFINISHEDMARKER.MRK";

// curl as an MFP uses the server, with the user and password of these tests.
inline bool UploadTo(int port, const std::string& local, const std::string& remoteName) {
  return test_support::FtpUpload(port, kUser, kPassword, local, remoteName);
}

class MfpScan : public ::testing::Test {
 protected:
  // The processing mode and time-out are read when the source loads: a test sets them first.
  void Configure(int processingMode, int timeoutMs, bool deleteTempFolders = false) {
    settings->SetLoggerEnabled(true);
    settings->SetAlwaysShowUI(false);
    settings->SetMode(2);
    settings->SetCurrentDirectory(root);
    settings->WriteString("Directory", "DeleteTempFolders", deleteTempFolders ? "1" : "0");
    settings->WriteString("FtpServer", "FtpServerPort", std::to_string(port));
    settings->WriteString("FtpServer", "FtpUser", kUser);
    settings->WriteString("FtpServer", "FtpPassword", kPassword);
    settings->WriteString("ProcessingManager", "ProcessingMode", std::to_string(processingMode));
    settings->WriteString("ProcessingManager", "ProcessingModeTimeout", std::to_string(timeoutMs));
  }

  void OpenAndEnable() {
    ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
    Enable();
  }
  void Enable() {
    TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
    ASSERT_EQ(app.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  }
  bool Disable() {
    TW_USERINTERFACE ui{};
    return app.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui) == TWRC_SUCCESS;
  }
  TW_INT16 EndXfer() {
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(app.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    return pending.Count;
  }
  // Width of the page the source offers now; -1 when it offers none.
  int OfferedWidth() {
    TW_IMAGEINFO info{};
    return app.Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) == TWRC_SUCCESS ? info.ImageWidth : -1;
  }
  bool NativeTransfer() {
    TW_HANDLE handle = nullptr;
    const bool done = app.Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle) == TWRC_XFERDONE;
    std::free(handle);
    return done;
  }

  // A page of this width as a PNG file to upload.
  std::string Page(int width) {
    const std::string path = (environment.Root() / ("page" + std::to_string(width) + ".png")).string();
    CxImage image;
    image.Create(static_cast<uint32_t>(width), 10, 24);
    image.SaveFile(path, ImageFormat::Png);
    return path;
  }
  std::string Text(const std::string& name, const std::string& content) {
    const std::string path = (environment.Root() / name).string();
    test_support::ScopedEnvironment::WriteFile(path, content);
    return path;
  }
  bool Upload(const std::string& local, const std::string& remoteName) const {
    return UploadTo(port, local, remoteName);
  }
  bool WaitForReceived(std::size_t count) {
    return WaitUntil([&] { return app.Received().size() >= count; });
  }
  std::string Log() const { return test_support::ScopedEnvironment::ReadFile(settings->GetLogFilePath()); }
  bool WaitForLog(const std::string& text) {
    return WaitUntil([&] { return Log().find(text) != std::string::npos; });
  }
  std::vector<std::filesystem::path> ScanFolders() const {
    std::vector<std::filesystem::path> folders;
    for (const auto& entry : std::filesystem::directory_iterator(root)) folders.push_back(entry.path());
    return folders;
  }

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  const std::string root = (environment.Root() / "mfp").string();
  const int port = LoopbackPort(/*listen=*/false).Port();
  test_support::TestDsm dsm;
  test_support::TwainSession app{dsm, "MFP application"};
};

}  // namespace mfp_test
