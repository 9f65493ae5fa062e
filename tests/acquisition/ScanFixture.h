#pragma once

// A Velloran inside the test process over private settings and a scan folder, called through
// Dispatch exactly as the entry point calls it, with logging into the private log file and the
// test manager loaded, so that the notifications the source sends are recorded.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/ScanImage.h"
#include "logging/LoggingSetup.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "support/TwainSession.h"
#include "twain/SettingsDlg.h"
#include "twain/Velloran.h"

namespace acquisition_test {

// What a completed transfer does to the source; transfers themselves are tested elsewhere.
class TestedSource : public Velloran {
 public:
  using Velloran::Velloran;
  void CountTransfer() {
    SessionLock lock(*this);
    ++m_xferCount;
  }
};

// Settings for a headless scan of the files in `folder` (created), with logging.
inline void PrepareFolderScan(SettingsStore& settings, const std::string& folder) {
  settings.SetLoggerEnabled(true);
  settings.SetAlwaysShowUI(false);  // on by default: the scan would wait for the Scan button
  settings.SetMode(1);
  settings.SetIncludeSubfolders(false);
  settings.SetCurrentDirectory(folder);
  std::filesystem::create_directories(folder);
}

class ScanSession : public ::testing::Test {
 protected:
  ScanSession() {
    PrepareFolderScan(*settings, folder);
  }
  ~ScanSession() override {
    source_.reset();
    ShutdownLogging();
  }

  // Built on first use, so that a test can change the settings first.
  TestedSource& Source() {
    if (!source_) {
      ConfigureLogging(*settings);
      source_ = std::make_unique<TestedSource>(this, *settings);
    }
    return *source_;
  }

  TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return Source().Dispatch(TwainTriplet{&application, dg, dat, msg, data});
  }

  void Open() {
    TW_IDENTITY identity{};
    Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity);
    identity.Id = 21;
    ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_SUCCESS);
  }
  // Without a shown dialog the scan starts at once.
  void Enable(bool showUI = false) {
    TW_USERINTERFACE ui{showUI ? TW_TRUE : TW_FALSE, TW_TRUE, nullptr};
    ASSERT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  }
  void OpenAndEnable(bool showUI = false) {
    Open();
    Enable(showUI);
  }

  // MSG_ENDXFER; the Count it returns.
  TW_INT16 EndXfer() {
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    return pending.Count;
  }
  // The current page by native transfer, the way an application takes it; the result.
  TW_UINT16 TransferNative() {
    TW_HANDLE handle = nullptr;
    const TW_UINT16 result = Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    std::free(handle);  // the application's memory
    return result;
  }
  // One memory strip of the current page into a buffer of one row; the result.
  TW_UINT16 TransferOneRow() {
    const ScanImage* page = Source().CurrentImage();
    std::vector<uint8_t> buffer(page != nullptr ? static_cast<size_t>(page->BytesPerRow()) : 1);
    TW_IMAGEMEMXFER xfer{};
    xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    xfer.Memory.Length = static_cast<TW_UINT32>(buffer.size());
    xfer.Memory.TheMem = buffer.data();
    return Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
  }

  // MSG_SET of a one-value capability, as an application sends it.
  TW_UINT16 SetCapability(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item) {
    auto* value = static_cast<TW_ONEVALUE*>(std::calloc(1, sizeof(TW_ONEVALUE)));
    value->ItemType = itemType;
    value->Item = item;
    TW_CAPABILITY capability{cap, TWON_ONEVALUE, value};
    const TW_UINT16 result = Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    std::free(value);
    return result;
  }
  TW_UINT16 SetResolution(TW_UINT16 cap, double dpi) {
    const TW_FIX32 fix = FloatToFix32(dpi);
    TW_UINT32 item = 0;
    std::memcpy(&item, &fix, sizeof fix);
    return SetCapability(cap, TWTY_FIX32, item);
  }
  // MSG_RESET: back to the catalogue's value (capability values outlive the source).
  void ResetCapability(TW_UINT16 cap) {
    TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &capability), TWRC_SUCCESS);
    std::free(capability.hContainer);
  }

  TW_INT16 PendingCount() {
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
    return pending.Count;
  }

  // The notifications the source sent, oldest first.
  std::vector<TW_UINT16> Notifications() const {
    std::vector<TW_UINT16> messages;
    for (const TestDsmNotification& notification : dsm.Notifications()) messages.push_back(notification.msg);
    return messages;
  }

  // Width of the current image; 0 when there is none.
  uint32_t CurrentWidth() {
    const ScanImage* image = Source().CurrentImage();
    return image != nullptr ? image->Image().GetWidth() : 0;
  }

  std::string Log() const { return test_support::ScopedEnvironment::ReadFile(settings->GetLogFilePath()); }

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  const std::string folder = (environment.Root() / "scans").string() + "/";
  test_support::TestDsm dsm;
  TW_IDENTITY application = MakeApplication();

 private:
  static TW_IDENTITY MakeApplication() {
    TW_IDENTITY identity{};
    identity.Id = 7;
    identity.ProtocolMajor = 2;
    identity.ProtocolMinor = 4;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    std::strncpy(identity.ProductName, "Scan tests", sizeof(identity.ProductName) - 1);
    return identity;
  }

  std::unique_ptr<TestedSource> source_;
};

}  // namespace acquisition_test
