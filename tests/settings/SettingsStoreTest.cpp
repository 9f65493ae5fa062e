#include "settings/SettingsStore.h"

#include "platform/ProfileFile.h"
#include "platform/SystemInfo.h"
#include "settings/PathHelpers.h"
#include "support/ScopedEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <optional>

namespace {

using test_support::ScopedEnvironment;

class SettingsStoreTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return (env_.Temp() / name).string(); }
  void WriteIni(const std::string& content) const { ScopedEnvironment::WriteFile(store_.GetSettingsFilePath(), content); }
  std::string IniText() const { return ScopedEnvironment::ReadFile(store_.GetSettingsFilePath()); }

  ScopedEnvironment env_;
  SettingsStore store_{Path("VELLORAN.ini"), Path("VELLORAN.log"), Path("VELLORANLog.ini"), Path("VELLORAN.flist")};
};

TEST_F(SettingsStoreTest, PathAccessorsReturnTheConstructionPaths) {
  EXPECT_EQ(store_.GetSettingsFilePath(), Path("VELLORAN.ini"));
  EXPECT_EQ(store_.GetLogFilePath(), Path("VELLORAN.log"));
  EXPECT_EQ(store_.GetLogConfigFilePath(), Path("VELLORANLog.ini"));
  EXPECT_EQ(store_.GetFileListPath(), Path("VELLORAN.flist"));
}

// The boolean keys read their values in four different ways; each row is one key and one stored
// value (nullopt: the key is absent).
struct BoolCase {
  const char* name;
  const char* section;
  const char* key;
  std::optional<std::string> stored;
  bool (SettingsStore::*getter)() const;
  bool expected;
};

class BoolEncodingTest : public SettingsStoreTest, public ::testing::WithParamInterface<BoolCase> {};

TEST_P(BoolEncodingTest, ReadsAsTheKeyDefines) {
  const BoolCase& row = GetParam();
  WriteIni("[Unrelated]\nx=1\n");
  if (row.stored) {
    ASSERT_TRUE(platform::WritePrivateProfileString(row.section, row.key, *row.stored, Path("VELLORAN.ini")));
  }
  EXPECT_EQ((store_.*row.getter)(), row.expected);
}

const BoolCase kBoolCases[] = {
    // First character is not "0": empty reads true.
    {"DeleteFilesAbsent", "Directory", "DeleteFiles", std::nullopt, &SettingsStore::GetDeleteFiles, true},
    {"DeleteFilesEmpty", "Directory", "DeleteFiles", "", &SettingsStore::GetDeleteFiles, true},
    {"DeleteFilesZero", "Directory", "DeleteFiles", "0", &SettingsStore::GetDeleteFiles, false},
    {"DeleteFilesZeroPrefix", "Directory", "DeleteFiles", "0yes", &SettingsStore::GetDeleteFiles, false},
    {"DeleteFilesNo", "Directory", "DeleteFiles", "no", &SettingsStore::GetDeleteFiles, true},
    {"IncludeSubfoldersAbsent", "Directory", "IncludeSubfolders", std::nullopt, &SettingsStore::GetIncludeSubfolders, true},
    {"AlwaysShowUIAbsent", "General", "AlwaysShowUI", std::nullopt, &SettingsStore::GetAlwaysShowUI, true},
    {"DuplexAbsent", "Scanner", "Duplex", std::nullopt, &SettingsStore::GetDuplex, false},
    // Exactly "1".
    {"PaperSourceYes", "Scanner", "PaperSource", "yes", &SettingsStore::GetPaperSource, false},
    {"PaperSourceEmpty", "Scanner", "PaperSource", "", &SettingsStore::GetPaperSource, false},
    {"PaperSourceOne", "Scanner", "PaperSource", "1", &SettingsStore::GetPaperSource, true},
    {"PaperSourceTen", "Scanner", "PaperSource", "10", &SettingsStore::GetPaperSource, false},
    {"DeleteTempFoldersAbsent", "Directory", "DeleteTempFolders", std::nullopt, &SettingsStore::GetDeleteTempFolders, false},
    {"XeroxStopMarkerAbsent", "ProcessingManager", "XeroxStopMarkerEnable", std::nullopt,
     &SettingsStore::GetXeroxStopMarkerEnable, true},
    {"XeroxStopMarkerTrue", "ProcessingManager", "XeroxStopMarkerEnable", "true",
     &SettingsStore::GetXeroxStopMarkerEnable, false},
    // Anything but exactly "0"; absent reads "0".
    {"LoggerEnabledAbsent", "Logger", "LoggerEnabled", std::nullopt, &SettingsStore::GetLoggerEnabled, false},
    {"LoggerEnabledEmpty", "Logger", "LoggerEnabled", "", &SettingsStore::GetLoggerEnabled, true},
    {"LoggerEnabledZero", "Logger", "LoggerEnabled", "0", &SettingsStore::GetLoggerEnabled, false},
    {"LoggerEnabledDoubleZero", "Logger", "LoggerEnabled", "00", &SettingsStore::GetLoggerEnabled, true},
};

INSTANTIATE_TEST_SUITE_P(Keys, BoolEncodingTest, ::testing::ValuesIn(kBoolCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct IntCase {
  const char* name;
  const char* section;
  const char* key;
  std::optional<std::string> stored;
  int (SettingsStore::*getter)() const;
  int expected;
};

class IntEncodingTest : public SettingsStoreTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(IntEncodingTest, ReadsTheLeadingNumber) {
  const IntCase& row = GetParam();
  if (row.stored) {
    ASSERT_TRUE(platform::WritePrivateProfileString(row.section, row.key, *row.stored, Path("VELLORAN.ini")));
  }
  EXPECT_EQ((store_.*row.getter)(), row.expected);
}

const IntCase kIntCases[] = {
    {"ModeAbsent", "General", "Mode", std::nullopt, &SettingsStore::GetMode, 0},
    {"ModeTrailingText", "General", "Mode", "12abc", &SettingsStore::GetMode, 12},
    {"ModeText", "General", "Mode", "abc", &SettingsStore::GetMode, 0},
    {"ModeNegative", "General", "Mode", "-3", &SettingsStore::GetMode, -3},
    {"ModeHexIsNotANumber", "General", "Mode", "0x4", &SettingsStore::GetMode, 0},
    {"ModeTooBigIsClamped", "General", "Mode", "99999999999", &SettingsStore::GetMode, INT_MAX},
    {"UIModeAbsent", "General", "UIMode", std::nullopt, &SettingsStore::GetUIMode, 8},
    {"UIModeZero", "General", "UIMode", "0", &SettingsStore::GetUIMode, 8},
    {"UIModeText", "General", "UIMode", "pages", &SettingsStore::GetUIMode, 8},
    {"UIModeSet", "General", "UIMode", "40", &SettingsStore::GetUIMode, 40},
    {"BackgroundDropoutTwo", "ImageProcessing", "BackgroundDropout", "2", &SettingsStore::GetBackgroundDropout, 2},
    {"BackgroundDropoutThree", "ImageProcessing", "BackgroundDropout", "3", &SettingsStore::GetBackgroundDropout, 0},
    {"BackgroundDropoutNegative", "ImageProcessing", "BackgroundDropout", "-1", &SettingsStore::GetBackgroundDropout, 0},
    {"FtpServerPortAbsent", "FtpServer", "FtpServerPort", std::nullopt, &SettingsStore::GetFtpServerPort, 888},
    {"ThresholdBoxSizeAbsent", "ImageProcessing", "ThresholdBoxSize", std::nullopt, &SettingsStore::GetThresholdBoxSize, 32},
};

INSTANTIATE_TEST_SUITE_P(Keys, IntEncodingTest, ::testing::ValuesIn(kIntCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsStoreTest, FloatReadsTheLeadingNumberWithItsDefault) {
  EXPECT_DOUBLE_EQ(store_.GetThresholdGlobalLocalBalance(), 0.5);
  WriteIni("[ImageProcessing]\nThresholdGlobalLocalBalance=0.25x\n");
  EXPECT_DOUBLE_EQ(store_.GetThresholdGlobalLocalBalance(), 0.25);
  WriteIni("[ImageProcessing]\nThresholdGlobalLocalBalance=half\n");
  EXPECT_DOUBLE_EQ(store_.GetThresholdGlobalLocalBalance(), 0.0);
}

TEST_F(SettingsStoreTest, SettersWriteBooleansAsOneOrZeroAndNumbersInDecimal) {
  store_.SetDeleteFiles(false);
  store_.SetAlwaysShowUI(true);
  store_.SetLoggerEnabled(false);
  store_.SetPaperSource(true);
  store_.SetMode(4);
  store_.SetLastMfpTemplateChecksum(-17);
  store_.SetRemoteScanScanner("hp:/net/scanner");
  store_.SetCurrentDirectory("@/data/<user_name>");

  const std::string text = IniText();
  for (const char* line : {"DeleteFiles=0", "AlwaysShowUI=1", "LoggerEnabled=0", "PaperSource=1", "Mode=4",
                           "LastMfpTemplateChecksum=-17", "Scanner=hp:/net/scanner",
                           "CurrentDirectory=@/data/<user_name>"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  EXPECT_FALSE(store_.GetDeleteFiles());
  EXPECT_TRUE(store_.GetPaperSource());
  EXPECT_EQ(store_.GetMode(), 4);
  EXPECT_EQ(store_.GetRemoteScanScanner(), "hp:/net/scanner");
  // Only reading expands the template; the raw value is what is kept.
  EXPECT_EQ(store_.GetCurrentDirectory(), "@/data/<user_name>");
  EXPECT_EQ(store_.GetExpandedCurrentDirectory(), "/data/" + platform::UserName().value_or("UserNotFound"));
}

TEST_F(SettingsStoreTest, EveryReadSeesTheFileAsItIsNow) {
  EXPECT_EQ(store_.GetMode(), 0);
  // Another process (the user interface) writes the same file.
  ASSERT_TRUE(platform::WritePrivateProfileString("General", "Mode", "2", store_.GetSettingsFilePath()));
  EXPECT_EQ(store_.GetMode(), 2);
  WriteIni("[general]\nmode=8\n");
  EXPECT_EQ(store_.GetMode(), 8);
}

TEST_F(SettingsStoreTest, LongStringsAreCutTo255Characters) {
  store_.SetCurrentDirectory("/" + std::string(299, 'd'));
  EXPECT_EQ(store_.GetCurrentDirectory().size(), 255u);
}

TEST_F(SettingsStoreTest, DamagedFileReadsAsDefaults) {
  std::string noise;
  for (int i = 0; i < 4096; ++i) noise.push_back(static_cast<char>((i * 7919) & 0xFF));
  WriteIni(noise);
  EXPECT_EQ(store_.GetUIMode(), 8);
  EXPECT_TRUE(store_.GetDeleteFiles());
  EXPECT_EQ(store_.GetFtpUser(), "vs");
}

TEST_F(SettingsStoreTest, ResetCurrentFileCopiesTheDefaultFile) {
  WriteIni("[FileTransfer]\nDefaultFile=/scans/page.bmp\nCurrentFile=/scans/other.bmp\n");
  store_.ResetCurrentFile();
  EXPECT_EQ(store_.GetCurrentFile(), "/scans/page.bmp");
}

TEST_F(SettingsStoreTest, SettersSayWhetherTheFileTookTheValue) {
  ASSERT_TRUE(store_.SetCurrentFile("/scans/a.bmp"));
  EXPECT_FALSE(store_.SetCurrentFile("/scans/two\nlines.bmp"));
  EXPECT_EQ(store_.GetCurrentFile(), "/scans/a.bmp");

  const SettingsStore homeless{Path("gone/VELLORAN.ini"), Path("gone/VELLORAN.log"), Path("gone/VELLORANLog.ini"),
                               Path("gone/VELLORAN.flist")};
  EXPECT_FALSE(homeless.SetMode(2));
  EXPECT_FALSE(homeless.ResetCurrentFile());
}

struct MfpNamesCase {
  const char* name;
  std::string stored;
  std::vector<std::string> expected;
};

class MfpNamesTest : public SettingsStoreTest, public ::testing::WithParamInterface<MfpNamesCase> {};

TEST_P(MfpNamesTest, SplitsAtEverySeparatorKeepingEmptyPieces) {
  WriteIni("[MFP]\nMfpNames=" + GetParam().stored + "\n");
  EXPECT_EQ(store_.GetMfpNames(), GetParam().expected);
}

const MfpNamesCase kMfpNamesCases[] = {
    {"Empty", "", {}},
    {"One", "xerox1", {"xerox1"}},
    {"EmptyPiecesAndTrailingSeparator", "a;;b;", {"a", "", "b", ""}},
    {"OnlySeparator", ";", {"", ""}},
};

INSTANTIATE_TEST_SUITE_P(Values, MfpNamesTest, ::testing::ValuesIn(kMfpNamesCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsStoreTest, FtpServerAddressIsHostColonPort) {
  WriteIni("[FtpServer]\nFtpServer=scanhost.local\nFtpServerPort=2121\n");
  EXPECT_EQ(store_.GetFtpServerAddress(), "scanhost.local:2121");
}

TEST_F(SettingsStoreTest, EmptyFtpServerGivesThisComputersAddressAndPort888) {
  WriteIni("[FtpServer]\nFtpServer=\n");
  const std::string address = store_.GetFtpServerAddress();
  EXPECT_EQ(address, GetLocalIpAddress() + ":888");
  EXPECT_THAT(address, ::testing::MatchesRegex("[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+:888"));
}

}  // namespace
