// Producing the current image from the pending list: pages of multipage files, excluded pages,
// damaged pages and files, and the check of received files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "AcquisitionFixtures.h"
#include "acquisition/CImageFile.h"
#include "acquisition/ImageLoadException.h"
#include "acquisition/NextImageLoader.h"
#include "acquisition/PendingImagesList.h"
#include "twain/twain.h"

namespace acquisition_test {
namespace {

// One file of a case: `pages` pages, page p of file f being 20 + 10 f + p pixels wide.
struct FileSpec {
  int pages = 1;
  std::set<int32_t> excluded;
  std::set<int> damaged;  // pages whose data is scribbled over
  bool garbage = false;   // the whole file is not an image
};

struct DeliveryCase {
  const char* name;
  std::vector<FileSpec> files;
  std::vector<std::pair<int, int>> delivered;  // (file, page), in order
  std::vector<std::pair<const char*, int>> logLines;  // text after "DEBUG Velloran: ", times
};

FileSpec Pages(int pages, std::set<int32_t> excluded = {}, std::set<int> damaged = {}) {
  FileSpec layout;
  layout.pages = pages;
  layout.excluded = std::move(excluded);
  layout.damaged = std::move(damaged);
  return layout;
}

FileSpec Garbage() {
  FileSpec layout;
  layout.garbage = true;
  return layout;
}

uint32_t WidthOf(int file, int page) { return static_cast<uint32_t>(20 + 10 * file + page); }

class Delivery : public AcquisitionTest, public ::testing::WithParamInterface<DeliveryCase> {
 protected:
  // Writes the files and fills the list as the file list editor would.
  void MakeFiles(const std::vector<FileSpec>& files) {
    const std::string folder = MakeFolder("batch");
    std::vector<FileListEntry> entries;
    for (std::size_t f = 0; f < files.size(); ++f) {
      const FileSpec& layout = files[f];
      const std::string path = folder + "file" + std::to_string(f) + ".tif";
      if (layout.garbage) {
        WriteText(path, "II*\0 damaged beyond repair");
      } else {
        std::vector<CxImage> pages;
        for (int p = 0; p < layout.pages; ++p) pages.push_back(PageOfWidth(WidthOf(static_cast<int>(f), p)));
        WriteTiffPages(path, pages);
        for (int p : layout.damaged) DamageTiffPage(path, p);
      }
      paths.push_back(path);
      FileListEntry entry(path);
      entry.excludedPages = layout.excluded;
      entries.push_back(entry);
    }
    list.ReplaceEntries(entries);
    list.Init(false, false, std::make_unique<LoopCounter>(false, 0), /*clear=*/false);
  }

  bool LoadNext() {
    return loader.LoadNextImage(NegotiatedFormat{TWPT_RGB, 24, TWPF_CHOCOLATE, 300, 300},
                                [this](const std::string& text) { reported.push_back(text); });
  }

  PendingImagesList list;
  NextImageLoader loader{list, settings};
  std::vector<std::string> paths;
  std::vector<std::string> reported;
};

TEST_P(Delivery, DeliversEveryWantedPageThatCanBeHad) {
  const DeliveryCase& c = GetParam();
  MakeFiles(c.files);
  std::vector<std::pair<int, int>> delivered;
  while (delivered.size() < 20 && LoadNext()) {
    const CImageFile* file = loader.OpenFile();
    ASSERT_NE(file, nullptr);
    const int f = static_cast<int>(std::find(paths.begin(), paths.end(), file->Path()) - paths.begin());
    delivered.emplace_back(f, file->CurrentPage());
    ASSERT_NE(loader.CurrentImage(), nullptr);
    EXPECT_EQ(loader.CurrentImage()->Image().GetWidth(), WidthOf(f, file->CurrentPage()));
    EXPECT_EQ(reported.back(), file->Path());
    EXPECT_EQ(list.GetCurrentPath(), file->Path());
  }
  EXPECT_EQ(delivered, c.delivered);
  EXPECT_FALSE(LoadNext()) << "a further call after the end";
  EXPECT_EQ(CountLines("DEBUG Velloran", "LoadNextImage: No more files available in cache"), 2);
  EXPECT_EQ(CountLines("DEBUG Velloran", "LoadNextImage: Image was loaded successfully"),
            static_cast<int>(c.delivered.size()));
  for (const auto& [text, times] : c.logLines) EXPECT_EQ(CountLines("DEBUG Velloran", text), times) << text << "\n" << Log();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Delivery,
    ::testing::Values(
        DeliveryCase{"SinglePages", {Pages(1), Pages(1)}, {{0, 0}, {1, 0}}, {{"LoadNextImage: multipage, loading next page", 2}}},
        DeliveryCase{"EveryPageInOrder", {Pages(3), Pages(2)}, {{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}}, {}},
        DeliveryCase{"MiddlePageExcluded",
                     {Pages(3, {1})},
                     {{0, 0}, {0, 2}},
                     {{"LoadNextImage: multipage, excluded 1", 1}, {"LoadNextImage: multipage, loaded 2", 1}}},
        DeliveryCase{"FirstPagesExcluded", {Pages(3, {0, 1})}, {{0, 2}}, {{"LoadNextImage: loaded 2", 1}}},
        DeliveryCase{"LastPageExcluded",
                     {Pages(3, {2}), Pages(1)},
                     {{0, 0}, {0, 1}, {1, 0}},
                     {{"LoadNextImage: multipage, excluded 2", 1}}},
        DeliveryCase{"AllPagesExcluded", {Pages(2, {0, 1}), Pages(1)}, {{1, 0}}, {}},
        DeliveryCase{"DamagedMiddlePage", {Pages(3, {}, {1})}, {{0, 0}, {0, 2}},
                     {{"LoadNextImage: multipage, load failure", 1}}},
        DeliveryCase{"DamagedLastPage", {Pages(2, {}, {1}), Pages(1)}, {{0, 0}, {1, 0}},
                     {{"LoadNextImage: multipage, load failure", 1}}},
        DeliveryCase{"DamagedFileAmongGoodOnes", {Pages(1), Garbage(), Pages(1)}, {{0, 0}, {2, 0}},
                     {{"LoadNextImage: load failure", 1}}},
        DeliveryCase{"FirstWantedPageDamaged", {Pages(3, {0}, {1}), Pages(1)}, {{1, 0}},
                     {{"LoadNextImage: load failure", 1}}},
        DeliveryCase{"NothingToDeliver", {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Delivery, LogsEachStepOfATwoPageFile) {
  MakeFiles({Pages(2)});
  ASSERT_TRUE(LoadNext());
  ASSERT_TRUE(LoadNext());
  const std::string log = Log();
  const std::string steps[] = {"LoadNextImage starts",
                               "LoadNextImage: No images available, try to load next",
                               "LoadNextImage: loading " + paths[0],
                               "LoadNextImage: Image was loaded successfully",
                               "LoadNextImage starts",
                               "LoadNextImage: multipage, loading next page",
                               "LoadNextImage: multipage, loaded",
                               "LoadNextImage: Image was loaded successfully"};
  std::size_t at = 0;
  for (const std::string& step : steps) {
    const std::string text = "DEBUG Velloran: " + step + "\n";
    at = log.find(text, at);
    ASSERT_NE(at, std::string::npos) << "missing or out of order: " << text << log;
    at += text.size();
  }
}

TEST_F(Delivery, PagesAreEnhancedAndPreparedBeforeDelivery) {
  settings.SetRotation(90);
  settings.SetForcePixelTypeToCapability(true);
  MakeFiles({Pages(1)});
  ASSERT_TRUE(loader.LoadNextImage(NegotiatedFormat{TWPT_GRAY, 8, TWPF_CHOCOLATE, 300, 300}, nullptr));
  const ScanImage& page = *loader.CurrentImage();
  EXPECT_EQ(page.Image().GetHeight(), WidthOf(0, 0));
  EXPECT_EQ(page.PixelType(), TWPT_GRAY);
  EXPECT_EQ(page.BytesPerRow(), 12);  // 12 gray pixels per row after the turn
}

TEST_F(Delivery, ReleasingTheOpenFileDropsTheCurrentImage) {
  MakeFiles({Pages(2)});
  ASSERT_TRUE(LoadNext());
  loader.ReleaseOpenFile();
  EXPECT_EQ(loader.OpenFile(), nullptr);
  EXPECT_EQ(loader.CurrentImage(), nullptr);
  ASSERT_FALSE(LoadNext());  // the rest of the released file is not delivered
}

TEST_F(AcquisitionTest, ImageFileOpensOnPageZeroAndWalksItsPages) {
  const std::string path = (env.Root() / "three.tif").string();
  WriteTiffPages(path, {PageOfWidth(30), PageOfWidth(31), PageOfWidth(32)});
  DamageTiffPage(path, 1);
  CImageFile file(path, settings);
  EXPECT_EQ(file.PageCount(), 3);
  EXPECT_EQ(file.CurrentPage(), -1);
  EXPECT_FALSE(file.IsLastPage());
  EXPECT_EQ(file.NextPage(), &file.Image());
  EXPECT_EQ(file.Image().Image().GetWidth(), 30u);
  EXPECT_THROW(file.NextPage(), ImageLoadException);
  EXPECT_EQ(file.CurrentPage(), 1);  // taken, so the next call moves past it
  EXPECT_NE(file.NextPage(), nullptr);
  EXPECT_EQ(file.Image().Image().GetWidth(), 32u);
  EXPECT_TRUE(file.IsLastPage());
  EXPECT_EQ(file.NextPage(), nullptr);
  EXPECT_EQ(file.LoadPage(3), nullptr);
  EXPECT_EQ(file.LoadPage(-1), nullptr);

  const std::string single = (env.Root() / "one.png").string();
  WriteImage(single, PageOfWidth(5));
  CImageFile png(single, settings);
  EXPECT_EQ(png.PageCount(), 1);
  EXPECT_THROW(CImageFile((env.Root() / "absent.png").string(), settings), ImageLoadException);
}

TEST_F(AcquisitionTest, CheckImageDecodesReceivedFilesOnTheirOwn) {
  PendingImagesList list;
  NextImageLoader loader(list, settings);
  const std::string good = (env.Root() / "good.png").string();
  const std::string bad = (env.Root() / "bad.png").string();
  WriteImage(good, PageOfWidth(5));
  WriteText(bad, "not a picture");
  EXPECT_TRUE(loader.CheckImage(good));
  EXPECT_FALSE(loader.CheckImage(bad));
  EXPECT_EQ(loader.OpenFile(), nullptr);
  EXPECT_EQ(CountLines("DEBUG Velloran", "CheckImage: loading " + good), 1);
  EXPECT_EQ(CountLines("DEBUG Velloran", "CheckImage: check successed"), 1);
  EXPECT_EQ(CountLines("DEBUG Velloran", "CheckImage: failed " + bad), 1);
}

// A check keeps its page for the load that follows, but only while the file on disk is the one
// it checked: a file replaced in between is decoded as it is now.
TEST_F(AcquisitionTest, LoadAfterACheckGivesTheFileAsItIsNow) {
  PendingImagesList list;
  list.Init(false, false, std::make_unique<LoopCounter>(false, 0), /*clear=*/true);
  NextImageLoader loader(list, settings);
  const NegotiatedFormat format{TWPT_RGB, 24, TWPF_CHOCOLATE, 300, 300};
  const std::string unchanged = (env.Root() / "unchanged.png").string();
  const std::string replaced = (env.Root() / "replaced.png").string();
  const std::string replacement = (env.Root() / "replacement.png").string();

  WriteImage(unchanged, PageOfWidth(5));
  ASSERT_TRUE(loader.CheckImage(unchanged));
  list.AddFile(unchanged);
  ASSERT_TRUE(loader.LoadNextImage(format, nullptr));
  EXPECT_EQ(loader.CurrentImage()->Image().GetWidth(), 5u);

  WriteImage(replaced, PageOfWidth(6));
  ASSERT_TRUE(loader.CheckImage(replaced));
  WriteImage(replacement, PageOfWidth(7));
  std::filesystem::rename(replacement, replaced);
  list.AddFile(replaced);
  ASSERT_TRUE(loader.LoadNextImage(format, nullptr));
  EXPECT_EQ(loader.CurrentImage()->Image().GetWidth(), 7u);
}

}  // namespace
}  // namespace acquisition_test
