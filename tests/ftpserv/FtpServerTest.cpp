#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <latch>
#include <sstream>

#include "FtpServerFixture.h"

namespace test_support {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

class FtpServerTest : public FtpServerFixture {};

TEST_F(FtpServerTest, CurlUploadsAreReportedOnceEachInCompletionOrderIncludingFoldersAndMarkers) {
  if (!HasCurl()) GTEST_SKIP() << "curl is not installed";
  const auto page = WriteSource("page1.jpg", 300000);
  const auto second = WriteSource("page2.jpg", 1000);
  const auto marker = WriteSource("SCANFINISHEDMARKER.MRK", 0);
  ASSERT_EQ(RunCurl("-T " + page.string() + " --ftp-create-dirs '" + Url("/job/1/") + "'"), 0);
  ASSERT_EQ(RunCurl("-T " + second.string() + " '" + Url("/") + "'"), 0);
  ASSERT_EQ(RunCurl("-T " + marker.string() + " '" + Url("/job/") + "'"), 0);

  ASSERT_TRUE(events_.WaitForFiles(3));
  const std::vector<std::string> expected = {(root() / "job/1/page1.jpg").string(), (root() / "page2.jpg").string(),
                                             (root() / "job/SCANFINISHEDMARKER.MRK").string()};
  std::vector<std::string> received;
  server_.GetReceivedFiles(received);
  EXPECT_EQ(received, expected);
  EXPECT_EQ(events_.files(), expected);
  EXPECT_EQ(events_.transfersFinished(), 3u);
  EXPECT_EQ(ReadFile(root() / "job/1/page1.jpg"), ReadFile(page));
  EXPECT_EQ(FilesUnder(root()), (std::vector<std::string>{"job/1/page1.jpg", "job/SCANFINISHEDMARKER.MRK", "page2.jpg"}));

  std::vector<std::string> again;
  server_.GetReceivedFiles(again);
  EXPECT_TRUE(again.empty());
}

TEST_F(FtpServerTest, ActiveModeAndIpv6UploadsArrive) {
  if (!HasCurl()) GTEST_SKIP() << "curl is not installed";
  const auto page = WriteSource("active.jpg", 70000);
  ASSERT_EQ(RunCurl("--ftp-port 127.0.0.1 -T " + page.string() + " '" + Url("/") + "'"), 0);
  size_t expected = 1;
  if (HasIpv6Loopback()) {
    const auto v6 = WriteSource("v6.jpg", 5000);
    const std::string url = std::string("ftp://") + kUser + ":" + kPassword + "@[::1]:" + std::to_string(port_) + "/";
    ASSERT_EQ(RunCurl("-g -T " + v6.string() + " '" + url + "'"), 0);
    ASSERT_EQ(RunCurl("-g --ftp-port ::1 -T " + v6.string() + " '" + url + "again/' --ftp-create-dirs"), 0);
    expected += 2;
  }
  ASSERT_TRUE(events_.WaitForFiles(expected));
  EXPECT_EQ(ReadFile(root() / "active.jpg"), ReadFile(page));
  EXPECT_EQ(FilesUnder(root()).size(), expected);
}

TEST_F(FtpServerTest, StartAgainWithANewRootServesOnlyTheNewRoot) {
  auto before = LoggedIn();
  const auto next = temporary_.path() / "next";
  fs::create_directories(next);
  ASSERT_TRUE(server_.Start(next.u16string(), u"scan", u"s3cret", 0));
  EXPECT_TRUE(before->WaitForClose());

  auto client = std::make_unique<FtpTestClient>("127.0.0.1", server_.BoundPort());
  ASSERT_TRUE(client->Login(kUser, kPassword));
  const uint16_t dataPort = client->Passive();
  ASSERT_NE(dataPort, 0);
  ASSERT_EQ(client->Command("STOR new.jpg"), 150);
  DataConnection data("127.0.0.1", dataPort);
  data.Send("new page");
  data.Close();
  EXPECT_EQ(client->ReadReply(), 226);
  ASSERT_TRUE(events_.WaitForFiles(1));
  EXPECT_EQ(events_.files(), std::vector<std::string>{(next / "new.jpg").string()});
  EXPECT_TRUE(FilesUnder(root()).empty());
}

TEST_F(FtpServerTest, StartOnAPortInUseFailsAndSaysWhy) {
  CFtpServer second;
  EventRecorder secondEvents;
  second.Subscribe(&secondEvents);
  EXPECT_FALSE(second.Start(root().u16string(), u"scan", u"s3cret", port_));
  EXPECT_TRUE(secondEvents.WaitForMessage("port in use"));
  EXPECT_EQ(second.BoundPort(), 0);
}

TEST_F(FtpServerTest, StopClosesEveryConnectionAndFreesThePortAtOnce) {
  auto client = LoggedIn();
  const uint16_t dataPort = client->Passive();
  ASSERT_EQ(client->Command("STOR partial.jpg"), 150);
  DataConnection data("127.0.0.1", dataPort);
  data.Send(std::string(10000, 'x'));

  server_.Stop();
  EXPECT_EQ(server_.BoundPort(), 0);
  EXPECT_TRUE(FilesUnder(root()).empty());  // the upload in progress leaves nothing
  CFtpServer next;
  EXPECT_TRUE(next.Start(root().u16string(), u"scan", u"s3cret", port_));
  EXPECT_TRUE(client->WaitForClose());
  std::vector<std::string> received;
  server_.GetReceivedFiles(received);
  EXPECT_TRUE(received.empty());
}

// Sessions are served side by side (on several network threads where the machine has several
// cores): uploads whose pieces arrive interleaved each arrive whole and are reported once, and
// Stop closes every session, wherever it runs.
TEST_F(FtpServerTest, InterleavedUploadsOfSeveralSessionsArriveWholeAndStopClosesEachSession) {
  constexpr int kSessions = 6;
  constexpr int kPieces = 4;
  struct Upload {
    std::unique_ptr<FtpTestClient> client;
    std::unique_ptr<DataConnection> data;
    std::string name;
    std::string sent;
  };
  std::vector<Upload> uploads(kSessions);
  for (int i = 0; i < kSessions; ++i) {
    Upload& upload = uploads[i];
    upload.client = LoggedIn();
    upload.name = "page" + std::to_string(i) + ".jpg";
    const uint16_t dataPort = upload.client->Passive();
    ASSERT_NE(dataPort, 0);
    upload.data = std::make_unique<DataConnection>("127.0.0.1", dataPort);
    ASSERT_EQ(upload.client->Command("STOR " + upload.name), 150);
  }
  for (int piece = 0; piece < kPieces; ++piece) {
    for (int i = 0; i < kSessions; ++i) {
      const std::string bytes(20000 + 1000 * i, static_cast<char>('a' + (i * kPieces + piece) % 26));
      uploads[i].data->Send(bytes);
      uploads[i].sent += bytes;
    }
  }
  for (Upload& upload : uploads) upload.data->Close();
  for (Upload& upload : uploads) EXPECT_EQ(upload.client->ReadReply(), 226) << upload.name;

  ASSERT_TRUE(events_.WaitForFiles(kSessions));
  std::vector<std::string> reported;
  for (const std::string& file : events_.files()) reported.push_back(fs::path(file).filename().string());
  std::sort(reported.begin(), reported.end());
  std::vector<std::string> expected;
  for (const Upload& upload : uploads) {
    EXPECT_EQ(ReadFile(root() / upload.name), upload.sent) << upload.name;
    expected.push_back(upload.name);
  }
  EXPECT_EQ(reported, expected);

  server_.Stop();
  for (const Upload& upload : uploads) EXPECT_TRUE(upload.client->WaitForClose()) << upload.name;
}

// Commands that come during an upload are answered after its final reply, a bad line among them
// in its turn.
TEST_F(FtpServerTest, LinesSentDuringAnUploadAreAnsweredInOrderAfterIt) {
  auto client = LoggedIn();
  const uint16_t dataPort = client->Passive();
  ASSERT_NE(dataPort, 0);
  DataConnection data("127.0.0.1", dataPort);
  ASSERT_EQ(client->Command("STOR during.jpg"), 150);
  data.Send("first part");
  client->SendRaw("NOOP\r\nST0R bad\r\nNOOP\r\n");
  data.Send(", second part");
  data.Close();
  EXPECT_EQ(client->ReadReply(), 226);
  EXPECT_EQ(client->ReadReply(), 200);
  EXPECT_EQ(client->ReadReply(), 500);
  EXPECT_EQ(client->ReadReply(), 200);
  EXPECT_EQ(ReadFile(root() / "during.jpg"), "first part, second part");
}

TEST_F(FtpServerTest, ASlowSinkDoesNotHoldUpUploads) {
  if (!HasCurl()) GTEST_SKIP() << "curl is not installed";
  struct BlockingSink : EventRecorder {
    std::latch release{1};
    void OnServerMessage(const std::u16string& message) override {
      release.wait();
      EventRecorder::OnServerMessage(message);
    }
  } sink;
  server_.Subscribe(&sink);
  const auto page = WriteSource("while-blocked.jpg", 100000);
  EXPECT_EQ(RunCurl("-T " + page.string() + " '" + Url("/") + "'"), 0);
  EXPECT_EQ(ReadFile(root() / "while-blocked.jpg"), ReadFile(page));
  sink.release.count_down();
  EXPECT_TRUE(sink.WaitForFiles(1));
  server_.Unsubscribe();
}

struct ReplyCase {
  const char* name;
  const char* command;
  int code;
};

const ReplyCase kReplyCases[] = {
    {"Syst", "SYST", 215},
    {"Feat", "FEAT", 211},
    {"OptsUtf8", "OPTS UTF8 ON", 200},
    {"OptsUnknown", "OPTS MLST type", 501},
    {"Pwd", "PWD", 257},
    {"Xpwd", "XPWD", 257},
    {"CwdFolder", "CWD in", 250},
    {"CwdMissing", "CWD nowhere", 550},
    {"CdupAtRoot", "CDUP", 550},
    {"Mkd", "MKD made", 257},
    {"MkdExisting", "MKD in", 550},
    {"RmdEmptyFolder", "RMD empty", 250},
    {"RmdNotEmpty", "RMD in", 550},
    {"TypeImage", "TYPE I", 200},
    {"TypeAscii", "TYPE A", 200},
    {"TypeEbcdic", "TYPE E", 504},
    {"ModeStream", "MODE S", 200},
    {"ModeBlock", "MODE B", 504},
    {"StruFile", "STRU F", 200},
    {"StruRecord", "STRU R", 504},
    {"Pasv", "PASV", 227},
    {"Epsv", "EPSV", 229},
    {"EpsvWrongProtocol", "EPSV 2", 522},
    {"PortOwnAddress", "PORT 127,0,0,1,200,10", 200},
    {"PortBadSyntax", "PORT 127,0,0,1,300,10", 501},
    {"EprtOwnAddress", "EPRT |1|127.0.0.1|51210|", 200},
    {"EprtUnknownProtocol", "EPRT |3|127.0.0.1|51210|", 522},
    {"StorWithoutDataSetup", "STOR x.jpg", 425},
    {"ListWithoutDataSetup", "LIST", 425},
    {"SizeFile", "SIZE in/a.jpg", 213},
    {"SizeFolder", "SIZE in", 550},
    {"MdtmFile", "MDTM in/a.jpg", 213},
    {"DeleMissing", "DELE missing.jpg", 550},
    {"DeleFile", "DELE in/a.jpg", 250},
    {"RestZero", "REST 0", 350},
    {"RestOffset", "REST 100", 504},
    {"RestText", "REST x", 501},
    {"Allo", "ALLO 1000", 202},
    {"Noop", "NOOP", 200},
    {"AborIdle", "ABOR", 225},
    {"Retr", "RETR in/a.jpg", 502},
    {"Unknown", "XYZZY", 500},
    {"Malformed", "ST0R x", 500},
    {"UserAgain", "USER other", 530},
    {"Quit", "QUIT", 221},
};

class FtpReplyTest : public FtpServerFixture, public testing::WithParamInterface<ReplyCase> {};

TEST_P(FtpReplyTest, AnswersWithTheStandardCodeAndKeepsServing) {
  fs::create_directories(root() / "in");
  fs::create_directories(root() / "empty");
  std::ofstream(root() / "in/a.jpg") << "jpeg";
  auto client = LoggedIn();
  EXPECT_EQ(client->Command(GetParam().command), GetParam().code);
  if (GetParam().code != 221) {
    EXPECT_EQ(client->Command("NOOP"), 200);
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, FtpReplyTest, testing::ValuesIn(kReplyCases),
                         [](const testing::TestParamInfo<ReplyCase>& info) { return info.param.name; });

TEST_F(FtpServerTest, ListingsShowTheFolderSortedWithoutHiddenEntries) {
  fs::create_directories(root() / "in");
  std::ofstream(root() / "in/a.jpg") << "jpeg";
  std::ofstream(root() / "in/b.pdf") << "pdf";
  std::ofstream(root() / "in/.upload-x") << "partial";
  auto client = LoggedIn();
  const uint16_t dataPort = client->Passive();
  ASSERT_EQ(client->Command("NLST in"), 150);
  DataConnection data("127.0.0.1", dataPort);
  EXPECT_EQ(data.ReadAll(), "a.jpg\r\nb.pdf\r\n");
  EXPECT_EQ(client->ReadReply(), 226);

  if (!HasCurl()) return;
  EXPECT_EQ(RunCurl("-l '" + Url("/in/") + "'"), 0);  // curl's LIST over EPSV, to a real parser
}

}  // namespace
}  // namespace test_support
