#include "platform/ProfileFile.h"

#include "platform/FileSystem.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace {

using platform::GetPrivateProfileString;
using platform::WritePrivateProfileString;
using test_support::ScopedEnvironment;

class ProfileFileTest : public ::testing::Test {
 protected:
  void WriteIni(const std::string& content) const { ScopedEnvironment::WriteFile(path_, content); }
  std::string Read(const std::string& section, const std::string& key) const {
    return GetPrivateProfileString(section, key, "<default>", path_);
  }

  ScopedEnvironment env_;
  std::string path_ = (env_.Temp() / "settings.ini").string();
};

TEST_F(ProfileFileTest, SectionsAndKeysMatchWithoutRegardToCase) {
  WriteIni("[Directory]\nDeleteFiles=0\n[general]\nmode = 5 \n");
  EXPECT_EQ(Read("directory", "deletefiles"), "0");
  EXPECT_EQ(Read("DIRECTORY", "DeleteFiles"), "0");
  EXPECT_EQ(Read("General", "Mode"), "5");
}

TEST_F(ProfileFileTest, AByteOrderMarkBeforeTheFirstSectionIsIgnored) {
  WriteIni("\xEF\xBB\xBF[General]\r\nMode=5\r\n");
  EXPECT_EQ(Read("General", "Mode"), "5");
  ASSERT_TRUE(WritePrivateProfileString("General", "UIMode", "8", path_));
  EXPECT_EQ(Read("General", "Mode"), "5");
  EXPECT_EQ(Read("General", "UIMode"), "8");
}

TEST_F(ProfileFileTest, AbsentFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Read("General", "Mode"), "<default>");
  WriteIni("[General]\nMode=1\n");
  EXPECT_EQ(Read("Other", "Mode"), "<default>");
  EXPECT_EQ(Read("General", "UIMode"), "<default>");
}

TEST_F(ProfileFileTest, PresentButEmptyValueIsEmptyNotTheDefault) {
  WriteIni("[Directory]\nDeleteFiles=\n");
  EXPECT_EQ(Read("Directory", "DeleteFiles"), "");
}

TEST_F(ProfileFileTest, MatchingQuotesAroundAValueAreDropped) {
  WriteIni("[A]\nd=\"C:\\scans\"\ns='x'\nmixed=\"x'\n");
  EXPECT_EQ(Read("A", "d"), "C:\\scans");
  EXPECT_EQ(Read("A", "s"), "x");
  EXPECT_EQ(Read("A", "mixed"), "\"x'");
}

// Values that the ini reading would change (blanks at the ends are trimmed, matching quotes
// dropped) come back exactly as written, also after a write of another key rewrote the file.
struct ExactValue {
  const char* name;
  std::string value;
};

const ExactValue kExactValues[] = {
    {"LeadingBlank", " /scans/a.bmp"},
    {"TrailingBlank", "/scans/a.bmp "},
    {"TabsAtBothEnds", "\t/scans/a.bmp\t"},
    {"OnlyBlanks", "   "},
    {"InDoubleQuotes", "\"/scans/a.bmp\""},
    {"InSingleQuotes", "'a'"},
    {"QuoteThenBlank", "\" "},
    {"LoneQuote", "\""},
    {"BlanksInside", "/my scans/a b.bmp"},
    {"Empty", ""},
    {"255CharactersWithBlankEnds", " " + std::string(253, 'v') + " "},
};

class ExactValueTest : public ProfileFileTest, public ::testing::WithParamInterface<ExactValue> {};

TEST_P(ExactValueTest, ReadsBackAsWritten) {
  const std::string& value = GetParam().value;
  ASSERT_TRUE(WritePrivateProfileString("FileTransfer", "CurrentFile", value, path_));
  EXPECT_EQ(Read("FileTransfer", "CurrentFile"), value);
  ASSERT_TRUE(WritePrivateProfileString("FileTransfer", "DefaultFile", "x", path_));
  EXPECT_EQ(Read("FileTransfer", "CurrentFile"), value);
}

INSTANTIATE_TEST_SUITE_P(Values, ExactValueTest, ::testing::ValuesIn(kExactValues),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileFileTest, AtMost255CharactersAreReadBack) {
  const std::string longValue(300, 'v');
  ASSERT_TRUE(WritePrivateProfileString("A", "long", longValue, path_));
  EXPECT_EQ(Read("A", "long"), std::string(255, 'v'));
  EXPECT_EQ(GetPrivateProfileString("A", "absent", longValue, path_), std::string(255, 'v'));
}

TEST_F(ProfileFileTest, WritesAddAndReplaceKeysAndKeepTheRest) {
  WriteIni("; kept comment\n[General]\nMode=1\nOther=x\n");
  ASSERT_TRUE(WritePrivateProfileString("general", "MODE", "4", path_));
  ASSERT_TRUE(WritePrivateProfileString("Scanner", "Resolution", "300", path_));

  EXPECT_EQ(Read("General", "Mode"), "4");
  EXPECT_EQ(Read("General", "Other"), "x");
  EXPECT_EQ(Read("Scanner", "Resolution"), "300");
  const std::string text = ScopedEnvironment::ReadFile(path_);
  EXPECT_NE(text.find("; kept comment"), std::string::npos);
  EXPECT_NE(text.find("Resolution=300"), std::string::npos);
}

TEST_F(ProfileFileTest, WritingIntoAMissingFolderFails) {
  EXPECT_FALSE(WritePrivateProfileString("A", "b", "c", (env_.Temp() / "absent" / "x.ini").string()));
}

TEST_F(ProfileFileTest, ValuesAndNamesThatWouldForgeOtherKeysAreRefused) {
  WriteIni("[General]\nMode=1\n");
  const std::string before = ScopedEnvironment::ReadFile(path_);
  EXPECT_FALSE(WritePrivateProfileString("General", "Mode", "2\n[Logger]\nLoggerEnabled=1", path_));
  EXPECT_FALSE(WritePrivateProfileString("General", "Mode\r", "2", path_));
  EXPECT_FALSE(WritePrivateProfileString("Gen]eral", "Mode", "2", path_));
  EXPECT_FALSE(WritePrivateProfileString("General", "Mo=de", "2", path_));
  EXPECT_FALSE(WritePrivateProfileString("", "Mode", "2", path_));
  EXPECT_EQ(ScopedEnvironment::ReadFile(path_), before);
}

TEST_F(ProfileFileTest, WritesLeaveOnlyTheFileAndItsLockBehind) {
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(WritePrivateProfileString("A", "k" + std::to_string(i), "v", path_));
  const auto listing = platform::EnumerateFolder(env_.Temp().string());
  std::vector<std::string> names;
  for (const auto& entry : listing.entries) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"settings.ini", "settings.ini.lock"}));
}

struct DamagedFile {
  const char* name;
  std::string content;
};

class DamagedProfileFileTest : public ProfileFileTest, public ::testing::WithParamInterface<DamagedFile> {};

TEST_P(DamagedProfileFileTest, ReadsTheDefaultAndNeverCrashes) {
  WriteIni(GetParam().content);
  EXPECT_EQ(Read("General", "Mode"), "<default>");
}

std::string BinaryNoise() {
  std::string noise;
  unsigned state = 12345;
  for (int i = 0; i < 64 * 1024; ++i) {
    state = state * 1103515245u + 12345u;
    noise.push_back(static_cast<char>(state >> 16));
  }
  return noise;
}

const DamagedFile kDamagedFiles[] = {
    {"BinaryNoise", BinaryNoise()},
    {"NulBeforeTheKey", std::string("[General]\0Mode=3\n", 17)},
    {"UnclosedSection", "[General\nMode=3\n"},
    {"KeyWithoutSection", "Mode=3\n"},
    {"OnlyEquals", "[General]\n=\n==\n"},
    {"HugeFile", "[General]\n" + std::string(platform::kMaxProfileFileBytes, ';') + "\nMode=3\n"},
};

INSTANTIATE_TEST_SUITE_P(Damaged, DamagedProfileFileTest, ::testing::ValuesIn(kDamagedFiles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileFileTest, AFileTooBigToReadIsNotReplacedByAWrite) {
  const std::string huge = "[General]\n" + std::string(platform::kMaxProfileFileBytes, ';') + "\n";
  WriteIni(huge);
  EXPECT_FALSE(WritePrivateProfileString("General", "Mode", "1", path_));
  EXPECT_EQ(std::filesystem::file_size(path_), huge.size());
}

// Writers in several threads of several processes, each with keys of its own: every value of
// every writer must survive the others' read-modify-write cycles.
TEST_F(ProfileFileTest, ConcurrentWritersOfThreadsAndProcessesLoseNothing) {
  constexpr int kProcesses = 3;
  constexpr int kThreads = 3;
  constexpr int kKeysEach = 15;
  const auto writeKeys = [this](int process) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([this, process, t] {
        for (int k = 0; k < kKeysEach; ++k) {
          const std::string key = "p" + std::to_string(process) + "t" + std::to_string(t) + "k" + std::to_string(k);
          WritePrivateProfileString("Shared", key, key + "-value", path_);
        }
      });
    }
    for (auto& thread : threads) thread.join();
  };

  std::vector<pid_t> children;
  for (int p = 1; p < kProcesses; ++p) {
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      writeKeys(p);
      _exit(0);
    }
    children.push_back(child);
  }
  writeKeys(0);
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  for (int p = 0; p < kProcesses; ++p) {
    for (int t = 0; t < kThreads; ++t) {
      for (int k = 0; k < kKeysEach; ++k) {
        const std::string key = "p" + std::to_string(p) + "t" + std::to_string(t) + "k" + std::to_string(k);
        EXPECT_EQ(Read("Shared", key), key + "-value");
      }
    }
  }
}

}  // namespace
