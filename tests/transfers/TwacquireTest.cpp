// twacquire's acquisition as an application: every mechanism writes BMP files whose pixels are
// those of the scanned files (memory-transfer pages rebuilt from their strips).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "Acquisition.h"
#include "DataSourceManager.h"
#include "PageSink.h"
#include "TransferFixture.h"
#include "TwainApplication.h"
#include "support/BuildPaths.h"

namespace transfers_test {

namespace {

class TwacquirePages : public TransferSession, public ::testing::WithParamInterface<twacquire::TransferMechanism> {};

TEST_P(TwacquirePages, WrittenPagesAreTheScannedPages) {
  const CxImage bilevel = BilevelPage(1001, 24);
  const CxImage gray = IndexedPage(37, 21, /*grayRamp=*/true);
  const std::vector<std::pair<std::string, int32_t>> expected = {
      {WritePage("a.png", ColourPage(101, 33, 4)), 0},
      {WriteTiff("b.tif", {&bilevel, &gray}), 0},
      {PathIn("b.tif"), 1},
      {WritePage("c.bmp", IndexedPage(19, 7, /*grayRamp=*/false), ImageFormat::Bmp), 0},
  };
  std::string error;
  const auto manager = twacquire::DataSourceManager::Load(test_support::TestDsmPath(), "", error);
  ASSERT_TRUE(manager) << error;
  manager->OfferSourceFile(test_support::VelloranDsPath());
  twacquire::TwainApplication application(*manager);
  ASSERT_TRUE(application.OpenManager() && application.OpenSource("")) << application.LastError();

  twacquire::Options options;
  options.mechanism = GetParam();
  options.waitSeconds = 20;
  const std::string out = (environment.Root() / "out").string();
  std::filesystem::create_directories(out);
  twacquire::BmpFolderSink sink(out);
  twacquire::Acquisition acquisition(application, options, sink);
  std::vector<std::string> written;
  acquisition.OnPage([&](const twacquire::PageReport& page) { written.push_back(page.output); });
  ASSERT_TRUE(acquisition.Run()) << acquisition.Error();
  ASSERT_EQ(acquisition.Pages(), 4);
  ASSERT_EQ(written.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(written[i]);
    EXPECT_EQ(written[i], sink.PagePath(static_cast<int>(i) + 1));
    EXPECT_TRUE(SamePixels(PixelsOfFile(expected[i].first, expected[i].second), PixelsOfFile(written[i])));
  }
  EXPECT_TRUE(application.CloseSource()) << application.LastError();
}

INSTANTIATE_TEST_SUITE_P(Mechanisms, TwacquirePages,
                         ::testing::Values(twacquire::TransferMechanism::kNative,
                                           twacquire::TransferMechanism::kMemory,
                                           twacquire::TransferMechanism::kFile),
                         [](const auto& info) { return std::string(twacquire::MechanismName(info.param)); });

TEST(TwacquireOptions, ParsesWhatTheUsageOffersAndRefusesTheRest) {
  const auto parsed = twacquire::ParseCommandLine({"--transfer", "memory", "--pixel-type=gray", "--bit-depth", "8",
                                                   "--resolution", "150", "--count", "2", "--show-ui", "--out",
                                                   "pages", "--wait", "0", "--quiet"});
  ASSERT_TRUE(std::holds_alternative<twacquire::Options>(parsed));
  const auto& options = std::get<twacquire::Options>(parsed);
  EXPECT_EQ(options.mechanism, twacquire::TransferMechanism::kMemory);
  EXPECT_EQ(options.pixelType, TWPT_GRAY);
  EXPECT_EQ(options.bitDepth, 8);
  EXPECT_EQ(options.resolution, 150.0);
  EXPECT_EQ(options.transferCount, 2);
  EXPECT_TRUE(options.showUi);
  EXPECT_EQ(options.outputFolder, "pages");
  EXPECT_EQ(options.waitSeconds, 0);
  EXPECT_TRUE(options.quiet);

  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--transfer", "fax"}, {"--pixel-type", "cmyk"}, {"--bit-depth", "0"},
                                             {"--resolution", "-3"}, {"--count", "0"}, {"--wait", "x"},
                                             {"--out"}, {"--frobnicate"}}) {
    EXPECT_TRUE(std::holds_alternative<twacquire::CommandLineError>(twacquire::ParseCommandLine(bad))) << bad[0];
  }
}

}  // namespace

}  // namespace transfers_test
