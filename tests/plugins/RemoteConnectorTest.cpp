// The remote scanner connector against a real saned on loopback with SANE's test backend.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "plugins/SanedFixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using plugins_test::PixelsOf;
using plugins_test::RecordingSink;
using session_test::WaitUntil;
using test_support::SanedConfig;
using test_support::SanedDaemon;

SanedConfig Devices(int count) {
  SanedConfig config;
  config.devices = count;
  return config;
}
SanedConfig BackendOptions(const std::string& lines) {
  SanedConfig config;
  config.testBackendOptions = lines;
  return config;
}
SanedConfig Users(const std::string& line) {
  SanedConfig config;
  config.users = line;
  return config;
}

constexpr const char* kPattern = "test-picture \"Color pattern\"\n";

class RemoteConnector : public ::testing::Test {
 protected:
  std::unique_ptr<CSSConnector> Connector(const std::string& host) {
    auto connector = std::make_unique<CSSConnector>(host);
    connector->Subscribe(&sink);
    return connector;
  }
  std::filesystem::path Folder(const std::string& name) {
    const auto folder = environment.Root() / name;
    std::filesystem::create_directories(folder);
    return folder;
  }
  bool ScanFinishes(CSSConnector& connector) {
    return connector.WaitForScan(session_test::kHangLimit) && sink.Finished();
  }

  test_support::ScopedEnvironment environment;
  RecordingSink sink;
};

// The scanner list and the six option lists that the test backend's options give.
TEST_F(RemoteConnector, ListsScannersAndOptionsOfTheTestBackend) {
  SanedDaemon daemon(environment.Root(), Devices(2));
  auto connector = Connector(daemon.Host());
  EXPECT_TRUE(connector->CheckConnection());
  std::vector<std::string> scanners;
  ASSERT_TRUE(connector->GetAvailableScanners(scanners));
  EXPECT_THAT(scanners, ElementsAre("test:0", "test:1"));

  std::vector<int32_t> formats, sources, resolutions, orientations, duplex, sizes;
  ASSERT_TRUE(connector->GetSupportedColorFormats("test:1", formats));
  ASSERT_TRUE(connector->GetSupportedPaperSources("test:1", sources));
  ASSERT_TRUE(connector->GetSupportedResolutions("test:1", resolutions));
  ASSERT_TRUE(connector->GetSupportedOrientations("test:1", orientations));
  ASSERT_TRUE(connector->GetSupportedSimplexDuplex("test:1", duplex));
  ASSERT_TRUE(connector->GetSupportedPaperSizes("test:1", sizes));
  EXPECT_THAT(formats, ElementsAre(1, 8, 24)) << "line art is gray with 1-bit samples";
  EXPECT_THAT(sources, ElementsAre(0, 1));
  EXPECT_THAT(resolutions, ElementsAre(75, 100, 150, 200, 300, 400, 600, 1200)) << "the range 1..1200 in its steps";
  EXPECT_THAT(orientations, ElementsAre(0, 3));
  EXPECT_THAT(duplex, ElementsAre(0));
  EXPECT_THAT(sizes, ElementsAre(0)) << "an area of 200 x 200 mm holds neither A4 nor Letter";
  EXPECT_EQ(sink.Messages(), "");
}

struct PageCase {
  const char* name;
  int bitDepth;
  int resolution;
  int orientation;
  const char* scanimageOptions;
  int rotate;  // what turns scanimage's page into ours
};

constexpr PageCase kPageCases[] = {
    {"Color75", 24, 75, 0, "--mode Color --resolution 75", 0},
    {"Gray100", 8, 100, 0, "--mode Gray --depth 8 --resolution 100", 0},
    {"LineArt75", 1, 75, 0, "--mode Gray --depth 1 --resolution 75", 0},
    {"LandscapeColor75", 24, 75, 3, "--mode Color --resolution 75", 90},
};

class RemotePage : public RemoteConnector, public ::testing::WithParamInterface<PageCase> {};

// A flat-bed page: one file whose pixels are scanimage's for the same options, then the marker
// and the end of the scan.
TEST_P(RemotePage, MatchesScanimage) {
  const PageCase& page = GetParam();
  SanedDaemon daemon(environment.Root(), BackendOptions(kPattern));
  auto connector = Connector(daemon.Host());
  const auto folder = Folder("scan");
  ASSERT_TRUE(connector->StartScanning("test:0", folder.string(), page.bitDepth, 0, page.orientation, page.resolution,
                                       0, 0));
  ASSERT_TRUE(ScanFinishes(*connector)) << sink.Messages();
  EXPECT_THAT(sink.Events(), ElementsAre("file", "file", "finished"));
  ASSERT_EQ(sink.Files().size(), 2u);
  EXPECT_THAT(sink.Files()[0], EndsWith(".png"));
  EXPECT_EQ(sink.Files()[1], (folder / "SCANFINISHEDMARKER.MRK").string());

  const auto expected = plugins_test::Scanimage(daemon, page.scanimageOptions, environment.Root() / "expected.pnm");
  ASSERT_FALSE(expected.empty());
  const std::string ours = PixelsOf(sink.Files()[0]);
  ASSERT_FALSE(ours.empty());
  EXPECT_TRUE(ours == PixelsOf(expected, page.rotate)) << "the pixels differ from scanimage's";
}

INSTANTIATE_TEST_SUITE_P(Options, RemotePage, ::testing::ValuesIn(kPageCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The feeder gives pages until it is empty (the test backend's holds ten), each a file in order.
TEST_F(RemoteConnector, FeederScansUntilItIsEmpty) {
  SanedDaemon daemon(environment.Root());
  auto connector = Connector(daemon.Host());
  const auto folder = Folder("adf");
  ASSERT_TRUE(connector->StartScanning("test:0", folder.string(), 8, 0, 0, 50, 0, /*paperSource=*/1));
  ASSERT_TRUE(ScanFinishes(*connector)) << sink.Messages();
  const auto files = sink.Files();
  ASSERT_EQ(files.size(), 11u) << sink.Messages();
  for (int i = 0; i < 10; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "scan-%04d.png", i + 1);
    EXPECT_EQ(files[size_t(i)], (folder / name).string());
  }
  EXPECT_THAT(files.back(), EndsWith("SCANFINISHEDMARKER.MRK"));
  EXPECT_EQ(sink.Messages(), "");
}

// A daemon that protects the backend: the right password scans, a wrong one is refused at the
// start with the reason.
TEST_F(RemoteConnector, AnswersThePasswordChallenge) {
  SanedDaemon daemon(environment.Root(), Users("scanuser:secret:test"));
  const auto folder = Folder("auth");
  {
    auto wrong = Connector(daemon.Host());
    wrong->SetCredentials("scanuser", "guess");
    EXPECT_FALSE(wrong->StartScanning("test:0", folder.string(), 8, 0, 0, 50, 0, 0));
    EXPECT_THAT(sink.Messages(), HasSubstr("Access to resource has been denied to the user \"scanuser\""));
  }
  auto right = Connector(daemon.Host());
  right->SetCredentials("scanuser", "secret");
  ASSERT_TRUE(right->StartScanning("test:0", folder.string(), 8, 0, 0, 50, 0, 0)) << sink.Messages();
  ASSERT_TRUE(ScanFinishes(*right));
  EXPECT_EQ(sink.Files().size(), 2u);
}

// The daemon dies while the feeder runs: the scan ends with the pages that came, the marker
// and the end event; nothing hangs.
TEST_F(RemoteConnector, DaemonKilledMidScanEndsTheScanWithThePagesReceived) {
  SanedDaemon daemon(environment.Root(), BackendOptions("read-delay true\nread-delay-duration 20000\n"));
  auto connector = Connector(daemon.Host());
  const auto folder = Folder("killed");
  ASSERT_TRUE(connector->StartScanning("test:0", folder.string(), 24, 0, 0, 300, 0, 1));
  ASSERT_TRUE(WaitUntil([&] { return !sink.Files().empty(); })) << sink.Messages();
  daemon.Kill();
  ASSERT_TRUE(ScanFinishes(*connector));
  const auto files = sink.Files();
  ASSERT_GE(files.size(), 2u);
  EXPECT_LT(files.size(), 11u);
  EXPECT_THAT(files.back(), EndsWith("SCANFINISHEDMARKER.MRK"));
  EXPECT_THAT(sink.Messages(), HasSubstr("Remote scan"));
  for (size_t i = 0; i + 1 < files.size(); ++i) EXPECT_FALSE(PixelsOf(files[i]).empty()) << "a whole page: " << files[i];
}

// Destroying the connector while a slow scan runs cancels it and returns; no event follows.
TEST_F(RemoteConnector, DestroyingTheConnectorCancelsARunningScan) {
  SanedDaemon daemon(environment.Root(), BackendOptions("read-delay true\nread-delay-duration 200000\n"));
  auto connector = Connector(daemon.Host());
  const auto folder = Folder("closed");
  ASSERT_TRUE(connector->StartScanning("test:0", folder.string(), 24, 0, 0, 600, 0, 1));
  connector->Unsubscribe();
  const auto started = std::chrono::steady_clock::now();
  connector.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
  EXPECT_TRUE(sink.Events().empty());
}

struct UnreachableCase {
  const char* name;
  bool listening;  // a socket that accepts but never answers, or no socket at all
};

constexpr UnreachableCase kUnreachableCases[] = {{"Refuses", false}, {"NeverAnswers", true}};

class UnreachableHost : public RemoteConnector, public ::testing::WithParamInterface<UnreachableCase> {};

// Every call fails within the time-outs and says why; a scan does not start.
TEST_P(UnreachableHost, FailsWithinTheTimeOut) {
  const test_support::LoopbackPort port(GetParam().listening);
  auto connector = Connector("127.0.0.1:" + std::to_string(port.Port()));
  connector->SetTimeouts({std::chrono::milliseconds(500), std::chrono::milliseconds(500), std::chrono::milliseconds(500)});
  EXPECT_FALSE(connector->CheckConnection());
  std::vector<std::string> scanners;
  EXPECT_FALSE(connector->GetAvailableScanners(scanners));
  EXPECT_FALSE(connector->StartScanning("test:0", Folder("none").string(), 24, 0, 0, 75, 0, 0));
  EXPECT_THAT(sink.Messages(), HasSubstr(GetParam().listening ? "did not answer" : "refused"));
  EXPECT_FALSE(sink.Finished());
}

INSTANTIATE_TEST_SUITE_P(Hosts, UnreachableHost, ::testing::ValuesIn(kUnreachableCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A scanner the daemon does not have, and a host that is no host: refused with the reason.
TEST_F(RemoteConnector, UnknownScannerOrBadHostIsRefused) {
  SanedDaemon daemon(environment.Root());
  EXPECT_FALSE(Connector(daemon.Host())->StartScanning("test:7", Folder("x").string(), 8, 0, 0, 50, 0, 0));
  EXPECT_THAT(sink.Messages(), HasSubstr("test:7"));
  std::vector<std::string> scanners;
  EXPECT_FALSE(Connector("127.0.0.1:99999")->GetAvailableScanners(scanners));
  EXPECT_THAT(sink.Messages(), HasSubstr("not a host name"));
}

// Names are looked up within the connect time-out: localhost reaches the daemon; a name that
// does not exist is refused with the reason, whether the name server says so or stays silent.
TEST_F(RemoteConnector, HostNamesAreLookedUpWithinTheTimeOut) {
  SanedDaemon daemon(environment.Root());
  std::vector<std::string> scanners;
  EXPECT_TRUE(Connector("localhost:" + std::to_string(daemon.Port()))->GetAvailableScanners(scanners));
  EXPECT_THAT(scanners, ElementsAre("test:0"));

  auto unknown = Connector("no-such-scanner-host.invalid");
  unknown->SetTimeouts({std::chrono::milliseconds(1000), std::chrono::milliseconds(1000), std::chrono::milliseconds(1000)});
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(unknown->CheckConnection());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << "a hang, not a slow answer";
  EXPECT_THAT(sink.Messages(), HasSubstr("no-such-scanner-host.invalid"));
}

}  // namespace
