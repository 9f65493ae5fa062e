// Saving the file-list file: the dialog saves it while the source may read it, and a save that
// fails must not cost the user the list already there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AcquisitionFixtures.h"
#include "acquisition/FileListEntry.h"
#include "acquisition/FileListFile.h"

namespace acquisition_test {
namespace {

using ::testing::ElementsAreArray;

std::vector<FileListEntry> NumberedEntries(const std::string& prefix, int count) {
  std::vector<FileListEntry> entries;
  for (int i = 0; i < count; ++i) entries.emplace_back(prefix + std::to_string(i) + ".tif");
  return entries;
}

std::vector<std::string> PathsIn(const std::vector<FileListEntry>& entries) {
  std::vector<std::string> paths;
  for (const FileListEntry& entry : entries) paths.push_back(entry.path);
  return paths;
}

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder)) names.push_back(item.path().filename());
  return names;
}

// Files of this process may grow to `bytes` and no further while the object lives: a write past
// it fails as on a full disk, which a test running as root cannot otherwise provoke.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of killing us
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = SIG_DFL;
};

using FileListSaving = AcquisitionTest;

TEST_F(FileListSaving, ASaveReplacesTheListWholeAndAReaderKeepsTheOneItOpened) {
  const std::string folder = MakeFolder("lists");
  const std::string path = folder + "velloran.flist";
  const std::vector<FileListEntry> old = NumberedEntries("/scans/old-", 50);
  ASSERT_TRUE(SaveFileList(path, old));
  std::ifstream reader(path);

  const std::vector<FileListEntry> saved = {FileListEntry("/scans/a.tif"), FileListEntry("/scans/b.png")};
  ASSERT_TRUE(SaveFileList(path, saved));
  EXPECT_THAT(PathsIn(LoadFileList(path)), ElementsAreArray(PathsIn(saved)));
  EXPECT_THAT(NamesIn(folder), ElementsAreArray({"velloran.flist"})) << "no temporary file left";

  // A reader that opened the file before the save reads the old list, all of it.
  std::vector<std::string> readBefore;
  for (std::string line; std::getline(reader, line);) readBefore.push_back(line);
  EXPECT_THAT(readBefore, ElementsAreArray(PathsIn(old)));
}

TEST_F(FileListSaving, ASaveThatRunsOutOfSpaceKeepsTheOldList) {
  const std::string folder = MakeFolder("lists");
  const std::string path = folder + "velloran.flist";
  const std::vector<FileListEntry> old = NumberedEntries("/scans/old-", 3);
  ASSERT_TRUE(SaveFileList(path, old));
  const std::string before = test_support::ScopedEnvironment::ReadFile(path);

  bool saved = true;
  {
    // Room for the log lines of the save, not for the new list.
    const FileSizeLimit limit(4096);
    saved = SaveFileList(path, NumberedEntries("/scans/a-much-longer-name-of-a-new-page-", 200));
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(test_support::ScopedEnvironment::ReadFile(path), before);
  EXPECT_THAT(NamesIn(folder), ElementsAreArray({"velloran.flist"})) << "no temporary file left";
  EXPECT_EQ(CountLines("DEBUG MainDialog", "Exception during saving files list"), 1) << Log();
}

// Places no file can be made in: the save fails, says so, and changes nothing.
struct UnwritablePlace {
  const char* name;
  const char* listPath;  // below the test's folder
};

constexpr UnwritablePlace kUnwritablePlaces[] = {
    {"ParentIsARegularFile", "plain-file/velloran.flist"},
    {"ListPathIsAFolder", "folder"},
};

class UnwritableListPlace : public AcquisitionTest, public ::testing::WithParamInterface<UnwritablePlace> {};

TEST_P(UnwritableListPlace, SaveFailsAndChangesNothing) {
  const std::string folder = MakeFolder("place");
  test_support::ScopedEnvironment::WriteFile(folder + "plain-file", "not a folder");
  std::filesystem::create_directory(folder + "folder");
  const std::string path = folder + GetParam().listPath;

  EXPECT_FALSE(SaveFileList(path, {FileListEntry("/scans/a.tif")}));
  EXPECT_EQ(test_support::ScopedEnvironment::ReadFile(folder + "plain-file"), "not a folder");
  EXPECT_TRUE(std::filesystem::is_empty(folder + "folder"));
  EXPECT_THAT(NamesIn(folder), ::testing::UnorderedElementsAre("plain-file", "folder"));
  EXPECT_EQ(CountLines("DEBUG MainDialog", "Cannot open file '" + path + "' saving files list"), 1) << Log();
}

INSTANTIATE_TEST_SUITE_P(Places, UnwritableListPlace, ::testing::ValuesIn(kUnwritablePlaces),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace acquisition_test
