#include "platform/FileSystem.h"
#include "platform/GlobalMemory.h"
#include "platform/MessageBox.h"
#include "platform/Network.h"
#include "platform/AppDataFolders.h"
#include "platform/SystemInfo.h"

#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using test_support::ScopedEnvironment;

struct FolderCase {
  const char* name;
  std::optional<std::string> configHome;
  std::optional<std::string> configDirs;
  std::string expectedAppData;  // "~" stands for $HOME
  std::string expectedCommon;
};

class AppDataFoldersTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(AppDataFoldersTest, FollowTheXdgVariables) {
  ScopedEnvironment env;
  env.Set("XDG_CONFIG_HOME", GetParam().configHome);
  env.Set("XDG_CONFIG_DIRS", GetParam().configDirs);
  std::string expected = GetParam().expectedAppData;
  if (expected.front() == '~') expected = env.Home().string() + expected.substr(1);
  EXPECT_EQ(platform::AppDataFolder(), expected);
  EXPECT_EQ(platform::CommonAppDataFolder(), GetParam().expectedCommon);
}

const FolderCase kFolderCases[] = {
    {"Set", "/cfg/user", "/cfg/all:/other", "/cfg/user", "/cfg/all"},
    {"TrailingSlashes", "/cfg/user/", "/cfg/all/", "/cfg/user", "/cfg/all"},
    {"Unset", std::nullopt, std::nullopt, "~/.config", "/etc/xdg"},
    {"Empty", "", "", "~/.config", "/etc/xdg"},
    {"RelativeIgnored", "relative", "relative:/cfg/all", "~/.config", "/etc/xdg"},
};

INSTANTIATE_TEST_SUITE_P(Cases, AppDataFoldersTest, ::testing::ValuesIn(kFolderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SystemInfoTest, TempFolderIsTmpdirElseTmp) {
  ScopedEnvironment env;
  EXPECT_EQ(platform::TempFolder(), env.Temp().string());
  env.Set("TMPDIR", env.Temp().string() + "/");
  EXPECT_EQ(platform::TempFolder(), env.Temp().string());
  env.Set("TMPDIR", std::nullopt);
  EXPECT_EQ(platform::TempFolder(), "/tmp");
  env.Set("TMPDIR", "");
  EXPECT_EQ(platform::TempFolder(), "/tmp");
}

TEST(SystemInfoTest, NativeProcessIsNeverWow64AndHasAUserName) {
  EXPECT_FALSE(platform::IsWow64Process());
  const auto name = platform::UserName();
  ASSERT_TRUE(name.has_value());
  EXPECT_FALSE(name->empty());
}

TEST(GlobalMemoryTest, BlocksAreZeroedAndReleasedWithFree) {
  auto* block = static_cast<unsigned char*>(platform::GlobalAllocZeroed(4096));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << i;
  std::free(block);  // the application's way of releasing it
  EXPECT_EQ(platform::GlobalAllocZeroed(0), nullptr);
  platform::GlobalFree(nullptr);
}

class MessageBoxTest : public ::testing::Test {
 protected:
  ~MessageBoxTest() override {
    platform::SetMessageBoxPresenter(nullptr);
    platform::SetMessageBoxLog(nullptr);
  }
};

TEST_F(MessageBoxTest, GoesToThePresenterElseToTheLogElseNowhere) {
  std::vector<platform::MessageBoxRequest> shown;
  std::vector<platform::MessageBoxRequest> logged;
  platform::ShowMessageBox("nobody listens", "Error", platform::MessageIcon::Error);

  platform::SetMessageBoxLog([&](const platform::MessageBoxRequest& request) { logged.push_back(request); });
  platform::ShowMessageBox("Log file is not found.", "Error", platform::MessageIcon::Error);
  platform::SetMessageBoxPresenter([&](const platform::MessageBoxRequest& request) { shown.push_back(request); });
  platform::ShowMessageBox("restart", "Warning", platform::MessageIcon::Warning);

  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].text, "Log file is not found.");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, "Warning");
  EXPECT_EQ(shown[0].icon, platform::MessageIcon::Warning);
}

TEST(DisplayTest, DisplayOrWaylandMeansADisplay) {
  ScopedEnvironment env;  // unsets both
  EXPECT_FALSE(platform::HasDisplay());
  env.Set("WAYLAND_DISPLAY", "wayland-0");
  EXPECT_TRUE(platform::HasDisplay());
}

TEST(NetworkTest, InterfaceAddressesAreNeverLoopback) {
  for (const auto& address : platform::InterfaceIPv4Addresses()) EXPECT_FALSE(platform::IsLoopbackIPv4(address));
  EXPECT_TRUE(platform::IsLoopbackIPv4("127.0.1.1"));
  EXPECT_FALSE(platform::IsLoopbackIPv4("10.127.0.1"));
  EXPECT_EQ(platform::ResolveHostIPv4("localhost").front().rfind("127.", 0), 0u);
}

}  // namespace
