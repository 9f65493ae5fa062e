#include "settings/SettingsPlacement.h"

#include "settings/SettingsStore.h"
#include "support/ScopedEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using test_support::ScopedEnvironment;

class SettingsPlacementTest : public ::testing::Test {
 protected:
  std::filesystem::path UserFile(const std::string& name) const { return env_.UserSettingsFolder("VELLORAN") / name; }
  std::filesystem::path CommonFile(const std::string& name) const {
    return env_.CommonSettingsFolder("VELLORAN") / name;
  }
  std::vector<std::string> UserFolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(env_.UserSettingsFolder("VELLORAN"))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  ScopedEnvironment env_;
};

TEST_F(SettingsPlacementTest, FilesLiveInTheMakerAndModuleFolders) {
  const auto store = PlaceSettingsFiles("VELLORAN");
  const std::string user = env_.UserSettingsFolder("VELLORAN").string() + "/";
  EXPECT_EQ(store->GetSettingsFilePath(), user + "VELLORAN.ini");
  EXPECT_EQ(store->GetLogFilePath(), user + "VELLORAN.log");
  EXPECT_EQ(store->GetLogConfigFilePath(), user + "VELLORANLog.ini");
  EXPECT_EQ(store->GetFileListPath(), user + "VELLORAN.flist");
  EXPECT_TRUE(std::filesystem::is_directory(env_.UserSettingsFolder("VELLORAN")));
  EXPECT_TRUE(std::filesystem::is_directory(env_.CommonSettingsFolder("VELLORAN")));

  const auto locations = LocateSettingsFiles("VELLORAN", "OtherMaker");
  EXPECT_EQ(locations.defaultSettingsFile, env_.CommonConfig().string() + "/OtherMaker/VELLORAN/VELLORAN.ini");
  EXPECT_EQ(locations.defaultLogConfigFile, env_.CommonConfig().string() + "/OtherMaker/VELLORAN/VELLORANLog.ini");
}

TEST_F(SettingsPlacementTest, FirstLoadWithoutAnyFileReadsEveryDefault) {
  const auto store = PlaceSettingsFiles("VELLORAN");
  const SettingsStore& s = *store;

  EXPECT_EQ(s.GetCurrentDirectory(), "");
  EXPECT_TRUE(s.GetIncludeSubfolders());
  EXPECT_TRUE(s.GetDeleteFiles());
  EXPECT_FALSE(s.GetDeleteTempFolders());
  EXPECT_EQ(s.GetListMode(), 0);
  EXPECT_EQ(s.GetMode(), 0);
  EXPECT_EQ(s.GetUIMode(), 8);
  EXPECT_TRUE(s.GetAlwaysShowUI());
  EXPECT_FALSE(s.GetDisableUI());
  EXPECT_FALSE(s.GetForcePixelTypeToCapability());
  EXPECT_FALSE(s.GetFixResolution());
  EXPECT_EQ(s.GetPDFRenderResolution(), 200);
  EXPECT_EQ(s.GetIniVersion(), 1);
  EXPECT_EQ(s.GetResolution(), 200);
  EXPECT_EQ(s.GetBitDepth(), 1);
  EXPECT_EQ(s.GetPaperSize(), 3);
  EXPECT_FALSE(s.GetDuplex());
  EXPECT_EQ(s.GetOrientation(), 0);
  EXPECT_FALSE(s.GetPaperSource());
  EXPECT_EQ(s.GetDefaultFile(), "");
  EXPECT_EQ(s.GetCurrentFile(), "");
  EXPECT_EQ(s.GetBackgroundDropout(), 0);
  EXPECT_FALSE(s.GetColorDetection());
  EXPECT_EQ(s.GetColorDetectionRatio(), 0);
  EXPECT_EQ(s.GetColorDetectionAmount(), 0);
  EXPECT_FALSE(s.GetThreshold());
  EXPECT_EQ(s.GetThresholdMethod(), 0);
  EXPECT_EQ(s.GetThresholdBoxSize(), 32);
  EXPECT_DOUBLE_EQ(s.GetThresholdGlobalLocalBalance(), 0.5);
  EXPECT_EQ(s.GetRotation(), 0);
  EXPECT_FALSE(s.GetMirror());
  EXPECT_EQ(s.GetScaleToWidth(), 0);
  EXPECT_EQ(s.GetScaleToHeight(), 0);
  EXPECT_FALSE(s.GetLoggerEnabled());
  EXPECT_FALSE(s.GetRecycle());
  EXPECT_EQ(s.GetPageNumber(), 0);
  EXPECT_EQ(s.GetFtpServerHost(), "");
  EXPECT_EQ(s.GetFtpServerPort(), 888);
  EXPECT_EQ(s.GetFtpUser(), "vs");
  EXPECT_EQ(s.GetMfpName(), "");
  EXPECT_TRUE(s.GetMfpNames().empty());
  EXPECT_EQ(s.GetMfpTemplateName(), "");
  EXPECT_EQ(s.GetMFPServiceEndPointTemplate(), "");
  EXPECT_EQ(s.GetRemoteHost(), "");
  EXPECT_EQ(s.GetRemoteScanScanner(), "");
  EXPECT_EQ(s.GetProcessingMode(), 0);
  EXPECT_EQ(s.GetProcessingModeTimeout(), 0);
  EXPECT_TRUE(s.GetXeroxStopMarkerEnable());
  // Reading creates nothing.
  EXPECT_TRUE(UserFolderNames().empty());
}

// No password is built in: one installation's would be every installation's. The first read
// makes one of twelve letters and digits and stores it; a stored one is kept as it is.
TEST_F(SettingsPlacementTest, FtpPasswordIsMadeForEachInstallationAndKept) {
  const auto first = PlaceSettingsFiles("VELLORAN");
  const std::string password = first->GetFtpPassword();
  EXPECT_THAT(password, ::testing::MatchesRegex("[A-Za-z0-9]{12}"));
  EXPECT_EQ(PlaceSettingsFiles("VELLORAN")->GetFtpPassword(), password);
  EXPECT_NE(SettingsStore::MakeFtpPassword(), SettingsStore::MakeFtpPassword());
  first->WriteString("FtpServer", "FtpPassword", "chosen");
  EXPECT_EQ(first->GetFtpPassword(), "chosen");
}

// A settings file that cannot take the made password: the process keeps using the one it made,
// so the server and what the user is shown do not drift apart read by read.
TEST_F(SettingsPlacementTest, FtpPasswordThatCannotBeStoredStaysTheSameForTheProcess) {
  const std::string folder = (env_.Root() / "not-a-file.ini").string();
  std::filesystem::create_directories(folder);
  const SettingsStore store(folder, "", "", "");
  const std::string password = store.GetFtpPassword();
  EXPECT_THAT(password, ::testing::MatchesRegex("[A-Za-z0-9]{12}"));
  EXPECT_EQ(store.GetFtpPassword(), password);
}

TEST_F(SettingsPlacementTest, FirstLoadCopiesTheInstalledDefaultsButNoExistingLogConfiguration) {
  ScopedEnvironment::WriteFile(CommonFile("VELLORAN.ini"), "[General]\nMode=2\n");
  ScopedEnvironment::WriteFile(CommonFile("VELLORANLog.ini"), "log4j.rootLogger=DEBUG\n");
  ScopedEnvironment::WriteFile(UserFile("VELLORANLog.ini"), "# the user's own\n");

  const auto store = PlaceSettingsFiles("VELLORAN");

  EXPECT_EQ(store->GetMode(), 2);
  EXPECT_EQ(ScopedEnvironment::ReadFile(UserFile("VELLORANLog.ini")), "# the user's own\n");
}

TEST_F(SettingsPlacementTest, FirstLoadCopiesTheLogConfigurationToo) {
  ScopedEnvironment::WriteFile(CommonFile("VELLORAN.ini"), "[General]\nMode=2\n");
  ScopedEnvironment::WriteFile(CommonFile("VELLORANLog.ini"), "log4j.rootLogger=DEBUG\n");
  PlaceSettingsFiles("VELLORAN");
  EXPECT_EQ(ScopedEnvironment::ReadFile(UserFile("VELLORANLog.ini")), "log4j.rootLogger=DEBUG\n");
}

TEST_F(SettingsPlacementTest, OutdatedSettingsAreBackedUpAndReplacedByTheDefaultFile) {
  const std::string oldSettings = "[General]\nIniVersion=2\nMode=1\n[Directory]\nCurrentDirectory=/mine\n";
  const std::string defaults = "[General]\nIniVersion=3\nMode=4\n";
  ScopedEnvironment::WriteFile(UserFile("VELLORAN.ini"), oldSettings);
  ScopedEnvironment::WriteFile(UserFile("VELLORANLog.ini"), "# user log config\n");
  ScopedEnvironment::WriteFile(CommonFile("VELLORAN.ini"), defaults);
  ScopedEnvironment::WriteFile(CommonFile("VELLORANLog.ini"), "# default log config\n");

  const auto store = PlaceSettingsFiles("VELLORAN");

  EXPECT_EQ(ScopedEnvironment::ReadFile(UserFile("VELLORAN_2.ini")), oldSettings);
  EXPECT_EQ(ScopedEnvironment::ReadFile(UserFile("VELLORAN.ini")), defaults);
  EXPECT_EQ(ScopedEnvironment::ReadFile(UserFile("VELLORANLog.ini")), "# user log config\n");
  EXPECT_EQ(store->GetCurrentDirectory(), "");
}

TEST_F(SettingsPlacementTest, AUserFileWithoutVersionCountsAsVersionOne) {
  ScopedEnvironment::WriteFile(UserFile("VELLORAN.ini"), "[General]\nMode=1\n");
  ScopedEnvironment::WriteFile(CommonFile("VELLORAN.ini"), "[General]\nIniVersion=2\n");
  PlaceSettingsFiles("VELLORAN");
  EXPECT_EQ(ScopedEnvironment::ReadFile(UserFile("VELLORAN_1.ini")), "[General]\nMode=1\n");
}

TEST_F(SettingsPlacementTest, CurrentOrNewerSettingsAreLeftAlone) {
  for (const char* userVersion : {"3", "4"}) {
    SCOPED_TRACE(userVersion);
    const std::string mine = std::string("[General]\nIniVersion=") + userVersion + "\nMode=1\n";
    ScopedEnvironment::WriteFile(UserFile("VELLORAN.ini"), mine);
    ScopedEnvironment::WriteFile(CommonFile("VELLORAN.ini"), "[General]\nIniVersion=3\nMode=4\n");
    PlaceSettingsFiles("VELLORAN");
    EXPECT_EQ(ScopedEnvironment::ReadFile(UserFile("VELLORAN.ini")), mine);
    EXPECT_EQ(UserFolderNames(), std::vector<std::string>{"VELLORAN.ini"});
  }
}

TEST_F(SettingsPlacementTest, WithoutABackupTheUsersFileIsNotReplaced) {
  const std::string mine = "[General]\nIniVersion=2\nMode=1\n";
  ScopedEnvironment::WriteFile(UserFile("VELLORAN.ini"), mine);
  ScopedEnvironment::WriteFile(CommonFile("VELLORAN.ini"), "[General]\nIniVersion=3\n");
  // Something the backup cannot replace sits where it would go.
  std::filesystem::create_directories(UserFile("VELLORAN_2.ini"));

  PlaceSettingsFiles("VELLORAN");

  EXPECT_EQ(ScopedEnvironment::ReadFile(UserFile("VELLORAN.ini")), mine);
}

struct BaseNameCase {
  const char* path;
  const char* expected;
};

class ModuleBaseNameTest : public ::testing::TestWithParam<BaseNameCase> {};

TEST_P(ModuleBaseNameTest, IsTheFileNameWithoutFolderAndExtension) {
  EXPECT_EQ(ModuleBaseName(GetParam().path), GetParam().expected);
}

const BaseNameCase kBaseNames[] = {
    {"/usr/local/lib/twain/velloran/velloran.ds", "velloran"},
    {"VELLORAN.dll", "VELLORAN"},
    {"/opt/a.b/module", "module"},
    {"/opt/lib.so.2", "lib.so"},
};

INSTANTIATE_TEST_SUITE_P(Paths, ModuleBaseNameTest, ::testing::ValuesIn(kBaseNames));

}  // namespace
