// The pending list: its entries and their text form, filling from folders and the file-list
// file, the cursor with and without loop mode, file names, and deleting delivered files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "AcquisitionFixtures.h"
#include "acquisition/FileListEntry.h"
#include "acquisition/FileListFile.h"
#include "acquisition/PendingImagesList.h"
#include "platform/FileSystem.h"

namespace acquisition_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> Paths(const PendingImagesList& list) {
  std::vector<std::string> paths;
  for (const FileListEntry& entry : list.Entries()) paths.push_back(entry.path);
  return paths;
}

// --- Text form of an entry ---

struct LineCase {
  const char* name;
  const char* line;
  const char* path;
  std::set<int32_t> excluded;
};

class FileListLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(FileListLine, ReadsPathAndExcludedPages) {
  const LineCase& c = GetParam();
  FileListEntry entry("left over");
  entry.excludedPages = {42};
  entry.FromLine(c.line);
  EXPECT_EQ(entry.path, c.path);
  EXPECT_EQ(entry.excludedPages, c.excluded);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FileListLine,
    ::testing::Values(LineCase{"PathAlone", "/scans/a.tif", "/scans/a.tif", {}},
                      LineCase{"TextAfterLastSemicolonIgnored", "x.tif|2;5", "x.tif", {2}},
                      LineCase{"Several", "/s/b.tif|0;3;", "/s/b.tif", {0, 3}},
                      LineCase{"NotANumberReadsZero", "c.tif|7;abc;", "c.tif", {0, 7}},
                      LineCase{"EmptyPieceReadsZero", "c.tif|;4;", "c.tif", {0, 4}},
                      LineCase{"SplitAtFirstBar", "d.tif|1;|2;", "d.tif", {1, 0}},
                      LineCase{"BarWithoutPages", "e.tif|", "e.tif", {}},
                      LineCase{"HugeNumberClamped", "f.tif|99999999999;-99999999999;", "f.tif", {INT32_MAX, INT32_MIN}},
                      LineCase{"EmptyLine", "", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileListEntryTest, LineListsExcludedPagesInAscendingOrderAndReadsBack) {
  FileListEntry entry("/scans/x.tif");
  EXPECT_EQ(entry.ToLine(), "/scans/x.tif");
  entry.excludedPages = {3, 0};
  EXPECT_EQ(entry.ToLine(), "/scans/x.tif|0;3;");
  FileListEntry back;
  back.FromLine(entry.ToLine());
  EXPECT_EQ(back.path, entry.path);
  EXPECT_EQ(back.excludedPages, entry.excludedPages);
  EXPECT_EQ(entry.FirstIncludedPage(0, 5), 1);
  EXPECT_EQ(entry.FirstIncludedPage(3, 4), -1);
}

// --- File names ---

struct NameCase {
  const char* path;
  bool image;
};

class ImageFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ImageFileName, IsAdmittedByExtensionWithoutRegardToCase) {
  EXPECT_EQ(PendingImagesList::IsSupportedImageFile(GetParam().path), GetParam().image) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Names, ImageFileName,
                         ::testing::Values(NameCase{"/s/a.png", true}, NameCase{"/s/b.JPG", true},
                                           NameCase{"/s/c.Tiff", true}, NameCase{"/s/d.tar.PDF", true},
                                           NameCase{"/s/e.j2k", true}, NameCase{"/s/f.jpeg", false},
                                           NameCase{"/s/g.txt", false}, NameCase{"/s/noextension", false},
                                           NameCase{"/s.png/readme", false}, NameCase{"/s/h.png.bak", false},
                                           NameCase{"", false}));

struct MarkerCase {
  const char* path;
  bool xeroxMarkerEnabled;
  bool marker;
};

class MarkerFileName : public AcquisitionTest, public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(MarkerFileName, IsFoundAnywhereInThePath) {
  const MarkerCase& c = GetParam();
  settings.SetXeroxStopMarkerEnable(c.xeroxMarkerEnabled);
  EXPECT_EQ(PendingImagesList::IsMarkerFile(c.path, settings), c.marker) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Markers, MarkerFileName,
    ::testing::Values(MarkerCase{"/scan/SCANFINISHEDMARKER.MRK", false, true},
                      MarkerCase{"/scan/SCANFINISHEDMARKER.MRK.tmp", false, true},
                      MarkerCase{"/scan/scanfinishedmarker.mrk", true, false},
                      MarkerCase{"/scan/XEROXFINISHEDMARKER.MRK", true, true},
                      MarkerCase{"/scan/XEROXFINISHEDMARKER.MRK", false, false},
                      MarkerCase{"/scan/page1.tif", true, false}));

// --- Filling from folders ---

class FolderFilling : public AcquisitionTest {
 protected:
  void AddSampleFolder() {
    folder = MakeFolder("scans");
    WriteImage(folder + "b.JPG", PageOfWidth(8), ImageFormat::Jpeg);
    WriteImage(folder + "a.png", PageOfWidth(8));
    WriteText(folder + "c.txt", "not an image");
    WriteImage(folder + ".d.png", PageOfWidth(8));
    WriteImage(folder + "sub/x.png", PageOfWidth(8));
    WriteImage(folder + "sub/Y.png", PageOfWidth(8));
    WriteImage(folder + "sub/.hidden/q.png", PageOfWidth(8));
    WriteImage(folder + ".private/p.png", PageOfWidth(8));
    WriteImage(folder + "z.png", PageOfWidth(8));
  }

  std::string folder;
  PendingImagesList list;
};

TEST_F(FolderFilling, ListsImagesByNameSkipsHiddenAndLogsUnsupported) {
  AddSampleFolder();
  list.Init(/*includeSubfolders=*/false, /*deleteFiles=*/false, nullptr, true);
  EXPECT_EQ(list.AddFolder(folder), 3);
  EXPECT_THAT(Paths(list), ElementsAre(folder + "a.png", folder + "b.JPG", folder + "z.png"));
  EXPECT_EQ(CountLines("DEBUG Velloran", "Unsupported file format. File: " + folder + "c.txt"), 1) << Log();
  EXPECT_EQ(Log().find(".d.png"), std::string::npos);
  EXPECT_EQ(Log().find(folder + "sub"), std::string::npos);
}

TEST_F(FolderFilling, SubfoldersComeWhereTheyAreMetDepthFirst) {
  AddSampleFolder();
  list.Init(/*includeSubfolders=*/true, false, nullptr, true);
  EXPECT_EQ(list.AddFolder(folder), 5);
  EXPECT_THAT(Paths(list), ElementsAre(folder + "a.png", folder + "b.JPG", folder + "sub/x.png",
                                       folder + "sub/Y.png", folder + "z.png"));
}

TEST_F(FolderFilling, LinkBackToAnEnclosingFolderIsNotFollowedAgain) {
  folder = MakeFolder("loop");
  WriteImage(folder + "a.png", PageOfWidth(8));
  WriteImage(folder + "inner/b.png", PageOfWidth(8));
  std::filesystem::create_directory_symlink(folder, folder + "inner/back");
  list.Init(true, false, nullptr, true);
  EXPECT_EQ(list.AddFolder(folder), 2);
  EXPECT_THAT(Paths(list), ElementsAre(folder + "a.png", folder + "inner/b.png"));
}

TEST_F(FolderFilling, FolderNameWithoutTrailingSeparatorStillGivesFullPaths) {
  folder = MakeFolder("plain");
  WriteImage(folder + "a.png", PageOfWidth(8));
  list.Init(false, false, nullptr, true);
  list.AddFolder(folder.substr(0, folder.size() - 1));
  EXPECT_THAT(Paths(list), ElementsAre(folder + "a.png"));
}

// Links out of the tree are not entered; folders linked to each other again and again (two
// links per level, 20 levels: a million paths) are listed once each.
TEST_F(FolderFilling, SubfoldersAreEnteredOnceAndOnlyInsideTheTree) {
  folder = MakeFolder("tree");
  const std::string outside = MakeFolder("elsewhere");
  WriteImage(outside + "o.png", PageOfWidth(8));
  WriteImage(folder + "a.png", PageOfWidth(8));
  std::filesystem::create_directory_symlink(outside, folder + "away");
  std::filesystem::create_directory_symlink("../elsewhere", folder + "relative-away");
  constexpr int kLevels = 20;
  std::vector<std::string> expected{folder + "a.png"};
  for (int level = 0; level < kLevels; ++level) {
    const std::string here = folder + "d" + std::to_string(level) + "/";
    WriteImage(here + "p.png", PageOfWidth(8));
    if (level + 1 < kLevels) {
      std::filesystem::create_directory_symlink(folder + "d" + std::to_string(level + 1), here + "x");
      std::filesystem::create_directory_symlink(folder + "d" + std::to_string(level + 1), here + "y");
    }
  }
  list.Init(/*includeSubfolders=*/true, false, nullptr, true);
  const std::vector<std::string> paths = (list.AddFolder(folder), Paths(list));
  EXPECT_EQ(paths.size(), 1u + kLevels);
  EXPECT_EQ(paths.front(), folder + "a.png");
  for (const std::string& path : paths) EXPECT_EQ(path.find("away"), std::string::npos) << path;
}

struct NotAbsoluteCase {
  const char* name;
  const char* folder;
};

class FolderNotAbsolute : public FolderFilling, public ::testing::WithParamInterface<NotAbsoluteCase> {};

// Any folder named relative to the working folder would be one of the application's choosing.
TEST_P(FolderNotAbsolute, NeverListsTheWorkingFolder) {
  folder = MakeFolder("work");
  WriteImage(folder + "a.png", PageOfWidth(8));
  WriteImage(folder + "scans/b.png", PageOfWidth(8));
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  list.Init(false, /*deleteFiles=*/true, nullptr, true);
  const int32_t added = list.AddFolder(GetParam().folder);
  std::filesystem::current_path(before);
  EXPECT_EQ(added, 0);
  EXPECT_THAT(Paths(list), IsEmpty());
  FileListEntry entry;
  EXPECT_FALSE(list.Advance(entry));
}

INSTANTIATE_TEST_SUITE_P(Names, FolderNotAbsolute,
                         ::testing::Values(NotAbsoluteCase{"Empty", ""}, NotAbsoluteCase{"Dot", "."},
                                           NotAbsoluteCase{"DotSlash", "./"},
                                           NotAbsoluteCase{"Relative", "scans/"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FolderFilling, UnreadableFolderAddsNothing) {
  list.Init(true, false, nullptr, true);
  EXPECT_EQ(list.AddFolder((env.Root() / "missing/").string()), 0);
  EXPECT_THAT(Paths(list), IsEmpty());
}

TEST_F(FolderFilling, AddFileAdmitsImagesOnly) {
  list.AddFile("/in/a.tif");
  list.AddFile("/in/notes.txt");
  EXPECT_THAT(Paths(list), ElementsAre("/in/a.tif"));
  EXPECT_EQ(CountLines("DEBUG Velloran", "Unsupported file format. File: /in/notes.txt"), 1);
}

// --- The cursor ---

struct CursorCase {
  const char* name;
  bool loop;
  int32_t limit;
  std::vector<int32_t> moves;  // indexes Advance moves to, in order, before it returns false
};

class Cursor : public ::testing::TestWithParam<CursorCase> {};

TEST_P(Cursor, MovesThroughTheListAndCountsWhatIsLeft) {
  const CursorCase& c = GetParam();
  PendingImagesList list;
  list.ReplaceEntries({FileListEntry("/s/1.png"), FileListEntry("/s/2.png")});
  list.Init(false, false, std::make_unique<LoopCounter>(c.loop, c.limit), /*clear=*/false);
  const int32_t total = c.loop ? c.limit : 2;
  EXPECT_EQ(list.Remaining(), total);
  EXPECT_EQ(list.GetCurrentPath(), "");
  std::vector<int32_t> moves;
  FileListEntry entry;
  while (list.Advance(entry) && moves.size() < 20) {
    moves.push_back(list.CurrentIndex());
    EXPECT_EQ(entry.path, list.GetCurrentPath());
    EXPECT_EQ(list.Delivered(), static_cast<int32_t>(moves.size()));
    EXPECT_EQ(list.Remaining(), total - static_cast<int32_t>(moves.size()));
  }
  EXPECT_EQ(moves, c.moves);
  EXPECT_FALSE(list.Advance(entry));
}

INSTANTIATE_TEST_SUITE_P(Modes, Cursor,
                         ::testing::Values(CursorCase{"Once", false, 5, {0, 1}},
                                           CursorCase{"LoopFiveOfTwo", true, 5, {0, 1, 0, 1, 0}},
                                           CursorCase{"LoopOne", true, 1, {0}},
                                           CursorCase{"LoopNothing", true, 0, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PendingListTest, InitKeepsOrClearsTheEntriesAndResetsCursorAndMarker) {
  PendingImagesList list;
  FileListEntry entry;
  EXPECT_FALSE(list.Advance(entry));
  EXPECT_EQ(list.Remaining(), 0);
  list.ReplaceEntries({FileListEntry("/s/1.png"), FileListEntry("/s/2.png")});
  ASSERT_TRUE(list.Advance(entry));
  list.SetStopMarker();

  list.Init(false, false, std::make_unique<LoopCounter>(false, 0), /*clear=*/false);
  EXPECT_EQ(list.CurrentIndex(), -1);
  EXPECT_FALSE(list.IsStopMarkerSet());
  EXPECT_EQ(list.Entries().size(), 2u);
  EXPECT_FALSE(list.GetCurrent(entry));

  list.Reset(/*clear=*/true);
  EXPECT_THAT(list.Entries(), IsEmpty());
  EXPECT_EQ(list.Remaining(), 0);
}

// --- Deleting delivered files ---

class Deletion : public AcquisitionTest {
 protected:
  void StartOn(const std::string& path, bool deleteFiles) {
    list.ReplaceEntries({FileListEntry(path)});
    list.Init(false, deleteFiles, nullptr, false);
    FileListEntry entry;
    ASSERT_TRUE(list.Advance(entry));
  }
  PendingImagesList list;
};

TEST_F(Deletion, RemovesTheFileAtTheCursorOnlyWhenAsked) {
  const std::string path = MakeFolder("del") + "a.png";
  WriteImage(path, PageOfWidth(8));
  const auto read = platform::IdentifyFile(path);
  EXPECT_EQ(list.DeleteFileIfNeed(read), 0);  // cursor before the first entry
  StartOn(path, /*deleteFiles=*/false);
  EXPECT_EQ(list.DeleteFileIfNeed(read), 0);
  EXPECT_TRUE(std::filesystem::exists(path));

  StartOn(path, /*deleteFiles=*/true);
  EXPECT_EQ(list.DeleteFileIfNeed(read), 0);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(list.GetCurrentPath(), path);
  EXPECT_EQ(CountLines("DEBUG Velloran", "DeleteFileIfNeed: File " + path), 1);
  EXPECT_EQ(CountLines("DEBUG Velloran", "DeleteFileIfNeed: Operation code 0"), 1);
}

TEST_F(Deletion, FileAlreadyGoneGivesTheSystemCode) {
  const std::string path = MakeFolder("del") + "gone.png";
  StartOn(path, /*deleteFiles=*/true);
  EXPECT_EQ(list.DeleteFileIfNeed(std::nullopt), ENOENT);
  EXPECT_EQ(CountLines("DEBUG Velloran", "DeleteFileIfNeed: Operation code " + std::to_string(ENOENT)), 1);
}

// Only the very file that was read may go: not a new one under its name, not one that changed.
TEST_F(Deletion, KeepsAFileReplacedOrChangedSinceItWasRead) {
  const std::string path = MakeFolder("del") + "a.png";
  WriteImage(path, PageOfWidth(8));
  const auto read = platform::IdentifyFile(path);
  const std::string replacement = MakeFolder("other") + "a.png";
  WriteImage(replacement, PageOfWidth(8));
  std::filesystem::rename(replacement, path);
  StartOn(path, /*deleteFiles=*/true);
  EXPECT_EQ(list.DeleteFileIfNeed(read), 0);
  EXPECT_TRUE(std::filesystem::exists(path));

  const auto second = platform::IdentifyFile(path);
  WriteText(path, "appended to in place");
  EXPECT_EQ(list.DeleteFileIfNeed(second), 0);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(list.DeleteFileIfNeed(std::nullopt), 0) << "nothing known of what was read";
  EXPECT_TRUE(std::filesystem::exists(path));
}

// A link in the scan folder may bring a file in to be read, never to be deleted.
TEST_F(Deletion, KeepsAFileWhoseResolvedPathIsOutsideTheScanFolder) {
  const std::string folder = MakeFolder("scans");
  const std::string outside = MakeFolder("elsewhere") + "keep.png";
  WriteImage(outside, PageOfWidth(8));
  std::filesystem::create_symlink(outside, folder + "link.png");
  list.Init(false, /*deleteFiles=*/true, nullptr, true);
  ASSERT_EQ(list.AddFolder(folder), 1);
  FileListEntry entry;
  ASSERT_TRUE(list.Advance(entry));
  EXPECT_EQ(list.DeleteFileIfNeed(platform::IdentifyFile(entry.path)), 0);
  EXPECT_TRUE(std::filesystem::exists(outside));
  EXPECT_TRUE(std::filesystem::is_symlink(folder + "link.png"));
}

// --- The file-list file ---

TEST_F(AcquisitionTest, FileListFileRoundTripsAndReadsWindowsLineEnds) {
  const std::string path = settings.GetFileListPath();
  SaveFileList(path, {FileListEntry("/s/a.tif"), FileListEntry("/s/b.png")});
  std::vector<FileListEntry> read = LoadFileList(path);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[1].path, "/s/b.png");

  WriteText(path, "/s/a.tif|1;\r\n\r\n/s/c.png\r\n");
  read = LoadFileList(path);
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0].path, "/s/a.tif");
  EXPECT_EQ(read[0].excludedPages, std::set<int32_t>{1});
  EXPECT_EQ(read[1].path, "");
  EXPECT_EQ(read[2].path, "/s/c.png");
  EXPECT_EQ(CountLines("DEBUG MainDialog", "Loading files list"), 2);
  EXPECT_EQ(CountLines("DEBUG MainDialog", "Saving files list"), 1);
}

TEST_F(AcquisitionTest, MissingFileListFileGivesAnEmptyList) {
  const std::string path = (env.Root() / "none.flist").string();
  EXPECT_THAT(LoadFileList(path), IsEmpty());
  EXPECT_EQ(CountLines("DEBUG MainDialog", "No file '" + path + "' with files list"), 1) << Log();
  SaveFileList((env.Root() / "no/such/folder/x.flist").string(), {FileListEntry("/a.png")});
  EXPECT_EQ(CountLines("DEBUG MainDialog", "Cannot open file '" + (env.Root() / "no/such/folder/x.flist").string() +
                                               "' saving files list"),
            1);
}

}  // namespace
}  // namespace acquisition_test
