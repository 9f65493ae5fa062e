#include "platform/FileSystem.h"

#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

using test_support::ScopedEnvironment;

class FileSystemTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return (env_.Temp() / name).string(); }
  ScopedEnvironment env_;
};

TEST_F(FileSystemTest, EnumerationIsSortedWithoutRegardToCaseAndFlagsHiddenNames) {
  for (const char* name : {"page10.tif", "Page2.tif", "page1.TIF", ".hidden", "_notes", "a"}) {
    ScopedEnvironment::WriteFile(env_.Temp() / "scan" / name, "x");
  }
  std::filesystem::create_directories(env_.Temp() / "scan" / "B-folder");

  const auto listing = platform::EnumerateFolder(PathOf("scan"));

  ASSERT_EQ(listing.error, 0);
  std::vector<std::string> names;
  for (const auto& entry : listing.entries) names.push_back(entry.name);
  // Upper-cased ordinal order, as the Windows file system lists names: "_" sorts after letters.
  EXPECT_EQ(names, (std::vector<std::string>{".hidden", "a", "B-folder", "page1.TIF", "page10.tif", "Page2.tif",
                                             "_notes"}));
  EXPECT_TRUE(listing.entries[0].isHidden);
  EXPECT_FALSE(listing.entries[1].isHidden);
  EXPECT_TRUE(listing.entries[2].isFolder);
  EXPECT_FALSE(listing.entries[3].isFolder);
}

TEST_F(FileSystemTest, EnumeratingAMissingFolderReportsTheSystemError) {
  const auto listing = platform::EnumerateFolder(PathOf("absent"));
  EXPECT_EQ(listing.error, ENOENT);
  EXPECT_TRUE(listing.entries.empty());
}

TEST_F(FileSystemTest, DeleteReturnsZeroThenTheSystemErrorWithItsText) {
  ScopedEnvironment::WriteFile(PathOf("doomed.bmp"), "x");
  EXPECT_EQ(platform::DeleteFile(PathOf("doomed.bmp")), 0);
  EXPECT_FALSE(platform::PathExists(PathOf("doomed.bmp")));
  const int error = platform::DeleteFile(PathOf("doomed.bmp"));
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(platform::SystemErrorText(error), "No such file or directory");
}

TEST_F(FileSystemTest, CopyWithoutOverwriteKeepsAnExistingTarget) {
  ScopedEnvironment::WriteFile(PathOf("from.ini"), "new");
  ScopedEnvironment::WriteFile(PathOf("to.ini"), "old");

  EXPECT_FALSE(platform::CopyFileNoOverwrite(PathOf("from.ini"), PathOf("to.ini")));
  EXPECT_EQ(ScopedEnvironment::ReadFile(PathOf("to.ini")), "old");

  EXPECT_TRUE(platform::CopyFileOverwrite(PathOf("from.ini"), PathOf("to.ini")));
  EXPECT_EQ(ScopedEnvironment::ReadFile(PathOf("to.ini")), "new");

  EXPECT_TRUE(platform::CopyFileNoOverwrite(PathOf("from.ini"), PathOf("fresh.ini")));
  EXPECT_EQ(ScopedEnvironment::ReadFile(PathOf("fresh.ini")), "new");
}

TEST_F(FileSystemTest, FailedCopiesLeaveNoTemporaryFilesBehind) {
  ScopedEnvironment::WriteFile(PathOf("from.ini"), "data");
  std::filesystem::create_directories(env_.Temp() / "target-is-a-folder");

  EXPECT_FALSE(platform::CopyFileOverwrite(PathOf("absent.ini"), PathOf("to.ini")));
  EXPECT_FALSE(platform::CopyFileOverwrite(PathOf("from.ini"), PathOf("target-is-a-folder")));

  const auto listing = platform::EnumerateFolder(env_.Temp().string());
  ASSERT_EQ(listing.entries.size(), 2u);
  EXPECT_EQ(listing.entries[0].name, "from.ini");
  EXPECT_EQ(listing.entries[1].name, "target-is-a-folder");
}

TEST_F(FileSystemTest, ReadWholeFileRefusesFilesAboveTheCap) {
  ScopedEnvironment::WriteFile(PathOf("ten.bin"), std::string(10, 'x'));
  EXPECT_EQ(platform::ReadWholeFile(PathOf("ten.bin"), 10), std::string(10, 'x'));
  EXPECT_EQ(platform::ReadWholeFile(PathOf("ten.bin"), 9), std::nullopt);
  EXPECT_EQ(platform::ReadWholeFile(PathOf("absent.bin"), 100), std::nullopt);
  EXPECT_EQ(platform::ReadWholeFile(env_.Temp().string(), 100), std::nullopt);
}

TEST_F(FileSystemTest, ReadWholeFileDoesNotHangOnAFifo) {
  ASSERT_EQ(mkfifo(PathOf("pipe").c_str(), 0600), 0);
  EXPECT_EQ(platform::ReadWholeFile(PathOf("pipe"), 100), std::nullopt);
}

TEST_F(FileSystemTest, CreateFolderNeedsTheParentAndFailsForAnExistingFolder) {
  EXPECT_FALSE(platform::CreateFolder(PathOf("a/b")));
  EXPECT_TRUE(platform::CreateFolder(PathOf("a")));
  EXPECT_FALSE(platform::CreateFolder(PathOf("a")));
  EXPECT_TRUE(platform::FolderExists(PathOf("a")));
}

struct WithinCase {
  const char* name;
  const char* path;
  const char* folder;
  bool within;
};

class PathWithin : public ::testing::TestWithParam<WithinCase> {};

TEST_P(PathWithin, ComparesWholeNamesOnly) {
  EXPECT_EQ(platform::IsPathWithin(GetParam().path, GetParam().folder), GetParam().within);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathWithin,
                         ::testing::Values(WithinCase{"FileInside", "/scans/a.png", "/scans", true},
                                           WithinCase{"DeepInside", "/scans/x/y/a.png", "/scans", true},
                                           WithinCase{"FolderItself", "/scans", "/scans", true},
                                           WithinCase{"SiblingWithTheSamePrefix", "/scans2/a.png", "/scans", false},
                                           WithinCase{"Parent", "/", "/scans", false},
                                           WithinCase{"EverythingUnderTheRoot", "/etc/passwd", "/", true},
                                           WithinCase{"NoFolder", "/scans/a.png", "", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileSystemTest, IdentityChangesWithTheContentAndFollowsLinks) {
  ScopedEnvironment::WriteFile(PathOf("a.bin"), "one");
  const auto first = platform::IdentifyFile(PathOf("a.bin"));
  ASSERT_TRUE(first.has_value());
  ASSERT_EQ(symlink(PathOf("a.bin").c_str(), PathOf("link").c_str()), 0);
  EXPECT_EQ(platform::IdentifyFile(PathOf("link")), first);
  EXPECT_EQ(platform::ResolvePath(PathOf("link")), platform::ResolvePath(PathOf("a.bin")));
  ScopedEnvironment::WriteFile(PathOf("a.bin"), "three");
  EXPECT_NE(platform::IdentifyFile(PathOf("a.bin")), first);
  EXPECT_EQ(platform::IdentifyFile(PathOf("absent")), std::nullopt);
  EXPECT_EQ(platform::ResolvePath(PathOf("absent")), std::nullopt);
}

}  // namespace
