// The remote scanner page's connection procedure without the page: RemoteScannerSettings for
// a real saned on loopback with SANE's test backend, the lists it fills and what it stores.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "network/RemoteScannerSettings.h"
#include "settings/SettingsStore.h"
#include "support/SanedDaemon.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

const RemoteOptionList* Find(const std::vector<RemoteOptionList>& lists, const std::string& key) {
  const auto found = std::find_if(lists.begin(), lists.end(), [&](const auto& list) { return list.key == key; });
  return found == lists.end() ? nullptr : &*found;
}

// The label of the selected entry of a list; "" when nothing is selected.
std::string Selected(const std::vector<RemoteOptionList>& lists, const std::string& key) {
  const RemoteOptionList* list = Find(lists, key);
  return list && list->selected >= 0 ? list->labels[size_t(list->selected)] : "";
}

class RemotePageFixture : public ::testing::Test {
 protected:
  RemotePageFixture() {
    settings->SetRemoteScanScanner("");
    settings->SetOrientation(0);
    settings->SetResolution(300);
    settings->SetBitDepth(24);
  }
  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
};

struct PageCase {
  const char* name;
  bool running;               // false: the daemon is gone and its port refuses
  const char* storedScanner;  // Scanner before the page opens
  int storedOrientation;
  bool connected;
  const char* scanner;        // Scanner after the page opened
  const char* orientation;    // the selected orientation's label
};

constexpr PageCase kPageCases[] = {
    {"EmptyScannerTakesTheFirstOfTwo", true, "", 0, true, "test:0", "Portrait"},
    {"StoredScannerIsKept", true, "test:1", 0, true, "test:1", "Portrait"},
    {"StoredLandscapeIsThree", true, "test:0", 3, true, "test:0", "Landscape"},
    {"StoredMfpLandscapeSelectsNothing", true, "test:0", 1, true, "test:0", ""},
    {"RefusingHostLeavesTheListsEmpty", false, "", 0, false, "", ""},
};

class RemotePage : public RemotePageFixture, public ::testing::WithParamInterface<PageCase> {};

TEST_P(RemotePage, OpensWithTheStoredChoices) {
  const PageCase& c = GetParam();
  test_support::SanedConfig config;
  config.devices = 2;
  test_support::SanedDaemon daemon(environment.Root(), config);
  if (!c.running) daemon.Kill();
  settings->SetRemoteScanScanner(c.storedScanner);
  settings->SetOrientation(c.storedOrientation);

  RemoteScannerSettings service(daemon.Host());
  const RemoteScanPage page = LoadRemoteScanPage(*settings, service);

  EXPECT_EQ(page.connected, c.connected);
  EXPECT_EQ(settings->GetRemoteScanScanner(), c.scanner);
  EXPECT_EQ(Selected(page.lists, "Orientation"), c.orientation);
  if (!c.connected) {
    EXPECT_THAT(page.scanners, IsEmpty());
    EXPECT_THAT(page.lists, IsEmpty());
    return;
  }
  EXPECT_THAT(page.scanners, ElementsAre(Pair(0, "test:0"), Pair(1, "test:1")));
  ASSERT_EQ(page.lists.size(), 6u);
  EXPECT_EQ(Selected(page.lists, "Resolution"), "300 DPI");
  EXPECT_EQ(Selected(page.lists, "BitDepth"), "Color");
  EXPECT_THAT(Find(page.lists, "BitDepth")->labels, ElementsAre("Black/White", "Gray", "Color"));
  EXPECT_THAT(Find(page.lists, "PaperSource")->labels, ElementsAre("Flat Bed", "ADF"));
  EXPECT_TRUE(Find(page.lists, "Orientation")->enabled);
  EXPECT_FALSE(Find(page.lists, "Duplex")->enabled) << "the test backend has no duplex: one entry";
}

INSTANTIATE_TEST_SUITE_P(Settings, RemotePage, ::testing::ValuesIn(kPageCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Choices on the page: landscape stores 3 (the MFP page's 1 is another meaning of the same
// key), an unknown label stores nothing, another scanner is stored and its lists come back.
TEST_F(RemotePageFixture, ChoicesAreStored) {
  test_support::SanedConfig config;
  config.devices = 2;
  test_support::SanedDaemon daemon(environment.Root(), config);
  RemoteScannerSettings service(daemon.Host());
  RemoteScanPage page = LoadRemoteScanPage(*settings, service);
  ASSERT_TRUE(page.connected);

  RemoteOptionList orientation = *Find(page.lists, "Orientation");
  EXPECT_TRUE(ChooseRemoteOption(*settings, orientation, "Landscape"));
  EXPECT_EQ(settings->GetOrientation(), 3);
  EXPECT_FALSE(ChooseRemoteOption(*settings, orientation, "Upside down"));
  EXPECT_EQ(settings->GetOrientation(), 3);

  RemoteOptionList source = *Find(page.lists, "PaperSource");
  EXPECT_TRUE(ChooseRemoteOption(*settings, source, "ADF"));
  EXPECT_TRUE(settings->GetPaperSource());

  const auto lists = ChooseRemoteScanner(*settings, service, "test:1");
  EXPECT_EQ(settings->GetRemoteScanScanner(), "test:1");
  EXPECT_EQ(Selected(lists, "Orientation"), "Landscape");
  EXPECT_EQ(Selected(lists, "PaperSource"), "ADF");
}

}  // namespace
