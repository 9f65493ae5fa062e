#include "RootFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "FtpTestClient.h"

namespace ftpserv {
namespace {

namespace fs = std::filesystem;

struct PathCase {
  const char* name;
  const char* cwd;
  const char* argument;
  const char* virtualPath;  // nullptr: refused
};

const PathCase kPathCases[] = {
    {"Relative", "/scans", "a.jpg", "/scans/a.jpg"},
    {"AbsoluteIsFromTheRoot", "/scans", "/a.jpg", "/a.jpg"},
    {"EtcPasswdStaysInside", "/", "/etc/passwd", "/etc/passwd"},
    {"DotsCollapse", "/", "scans/./x/../a.jpg", "/scans/a.jpg"},
    {"RepeatedSlashes", "/", "//scans///a.jpg", "/scans/a.jpg"},
    {"Empty", "/scans", "", "/scans"},
    {"ParentOfRoot", "/", "..", nullptr},
    {"ParentAfterFolder", "/scans", "../../a.jpg", nullptr},
    {"AbsoluteClimb", "/scans", "/../a.jpg", nullptr},
    {"ControlCharacter", "/", "a\nb", nullptr},
    {"SymlinkOut", "/", "out/x.jpg", nullptr},
    {"SymlinkItselfOut", "/", "out", nullptr},
    {"SymlinkInside", "/", "in/a.jpg", "/in/a.jpg"},
};

class RootFolderTest : public testing::TestWithParam<PathCase> {};

TEST_P(RootFolderTest, ResolvesInsideTheRootOnly) {
  const PathCase& path = GetParam();
  const test_support::TemporaryFolder temporary;
  fs::create_directories(temporary.path() / "root/scans");
  fs::create_directories(temporary.path() / "outside");
  fs::create_directory_symlink(temporary.path() / "outside", temporary.path() / "root/out");
  fs::create_directory_symlink(temporary.path() / "root/scans", temporary.path() / "root/in");
  const auto root = RootFolder::Open(temporary.path() / "root");
  ASSERT_TRUE(root);

  const auto resolved = root->Resolve(path.cwd, path.argument);
  if (path.virtualPath == nullptr) {
    EXPECT_FALSE(resolved) << resolved->diskPath;
    return;
  }
  ASSERT_TRUE(resolved);
  EXPECT_EQ(resolved->virtualPath, path.virtualPath);
  EXPECT_EQ(resolved->diskPath, root->path() / fs::path(path.virtualPath).relative_path());
}

INSTANTIATE_TEST_SUITE_P(Paths, RootFolderTest, testing::ValuesIn(kPathCases),
                         [](const testing::TestParamInfo<PathCase>& info) { return info.param.name; });

}  // namespace
}  // namespace ftpserv
