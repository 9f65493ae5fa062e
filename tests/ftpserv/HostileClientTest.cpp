#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FtpServerFixture.h"

namespace test_support {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class HostileClientTest : public FtpServerFixture {
 protected:
  FtpServerLimits Limits() const override {
    FtpServerLimits limits = FtpServerFixture::Limits();
    limits.maxConnections = 40;
    limits.maxConnectionsPerAddress = 16;
    limits.idleTimeout = 2s;
    limits.dataTimeout = 2s;
    // Wide enough that a client's two closes, made one after the other by the test, fall
    // within it on a loaded machine.
    limits.uploadSettleTime = 500ms;
    return limits;
  }

  // A well-behaved client still gets its file stored and reported.
  void ExpectServesAWellBehavedUpload(const std::string& name) {
    auto client = LoggedIn();
    const uint16_t dataPort = client->Passive();
    ASSERT_NE(dataPort, 0);
    ASSERT_EQ(client->Command("STOR " + name), 150);
    DataConnection data("127.0.0.1", dataPort);
    data.Send("a good page");
    data.Close();
    EXPECT_EQ(client->ReadReply(), 226);
  }

  // Waits (bounded) until nothing but these files is under the root: cleanup of a dropped upload
  // runs on the server's thread.
  bool OnlyFilesUnderRoot(const std::vector<std::string>& expected) const {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (FilesUnder(root()) != expected) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }
};

struct EscapeCase {
  const char* name;
  const char* command;
};

// Every command that takes a path, aimed outside the root by "..", by an absolute path that
// climbs, and through a symlink to a folder outside.
const EscapeCase kEscapeCases[] = {
    {"CwdParent", "CWD .."},           {"CwdClimb", "CWD /../outside"},   {"CwdSymlink", "CWD out"},
    {"MkdParent", "MKD ../evil"},      {"MkdSymlink", "MKD out/evil"},    {"RmdParent", "RMD ../outside"},
    {"DeleParent", "DELE ../outside/keep.txt"}, {"DeleSymlink", "DELE out/keep.txt"},
    {"StorParent", "STOR ../evil.jpg"}, {"StorClimb", "STOR /../../evil.jpg"}, {"StorSymlink", "STOR out/evil.jpg"},
    {"AppeSymlink", "APPE out/keep.txt"}, {"StouParent", "STOU ../evil"}, {"SizeParent", "SIZE ../outside/keep.txt"},
    {"MdtmSymlink", "MDTM out/keep.txt"}, {"ListParent", "LIST ../outside"}, {"NlstSymlink", "NLST out"},
    {"StorControlCharacter", "STOR evil\x01.jpg"}, {"StorNul", "STOR evil\0.jpg"},
};

class PathEscapeTest : public HostileClientTest, public testing::WithParamInterface<EscapeCase> {};

TEST_P(PathEscapeTest, IsRefusedAndTouchesNothingOutsideTheRoot) {
  fs::create_directory_symlink(outside(), root() / "out");
  auto client = LoggedIn();
  ASSERT_NE(client->Passive(), 0);
  // The table holds C strings: the row with a NUL is cut at it, and is sent whole here.
  const std::string command = GetParam().command;
  const int code = client->Command(command == "STOR evil" ? std::string("STOR evil\0.jpg", 14) : command);
  EXPECT_GE(code, 500);
  EXPECT_LT(code, 600);
  EXPECT_EQ(client->Command("PWD"), 257);
  std::string cwd;
  client->Command("PWD", &cwd);
  EXPECT_EQ(cwd.substr(0, 3), "\"/\"");
  EXPECT_EQ(FilesUnder(outside()), std::vector<std::string>{"keep.txt"});
  EXPECT_FALSE(fs::exists(temporary_.path() / "evil.jpg"));
  EXPECT_FALSE(fs::exists(temporary_.path() / "evil"));
  EXPECT_TRUE(FilesUnder(root()).empty());
}

INSTANTIATE_TEST_SUITE_P(Commands, PathEscapeTest, testing::ValuesIn(kEscapeCases),
                         [](const testing::TestParamInfo<EscapeCase>& info) { return info.param.name; });

TEST_F(HostileClientTest, NothingButLoginWorksBeforeLogin) {
  FtpTestClient client("127.0.0.1", port_);
  EXPECT_EQ(client.greeting(), 220);
  for (const char* command : {"STOR x.jpg", "MKD x", "CWD /", "PASV", "LIST", "DELE x"}) {
    SCOPED_TRACE(command);
    EXPECT_EQ(client.Command(command), 530);
  }
  EXPECT_EQ(client.Command("PASS s3cret"), 503);
  EXPECT_EQ(client.Command("USER scan"), 331);
  EXPECT_EQ(client.Command("PASS wrong"), 530);
  EXPECT_EQ(client.Command("STOR x.jpg"), 530);
  EXPECT_TRUE(FilesUnder(root()).empty());
}

TEST_F(HostileClientTest, RepeatedFailedLoginsCloseTheConnection) {
  FtpTestClient client("127.0.0.1", port_);
  for (int attempt = 1; attempt <= 3; ++attempt) {
    SCOPED_TRACE(attempt);
    EXPECT_EQ(client.Command("USER scan"), 331);
    EXPECT_EQ(client.Command(attempt == 2 ? "PASS " : "PASS guess"), 530);
  }
  EXPECT_TRUE(client.WaitForClose());
  EXPECT_FALSE(FtpTestClient("127.0.0.1", port_).Login("scan", "s3cretX"));
  EXPECT_FALSE(FtpTestClient("127.0.0.1", port_).Login("scanX", "s3cret"));
}

TEST_F(HostileClientTest, DataConnectionsGoOnlyToAndComeOnlyFromTheClient) {
  auto client = LoggedIn();
  for (const char* command : {"PORT 10,0,0,1,200,10", "PORT 127,0,0,2,200,10", "PORT 127,0,0,1,0,80",
                              "EPRT |1|127.0.0.2|51210|", "EPRT |2|::1|51210|"}) {
    SCOPED_TRACE(command);
    const bool otherProtocol = std::string(command).starts_with("EPRT |2|");
    EXPECT_EQ(client->Command(command), otherProtocol ? 522 : 500);
    EXPECT_EQ(client->Command("STOR bounce.jpg"), 425);  // the refused target was not taken
  }
  const uint16_t dataPort = client->Passive();
  ASSERT_EQ(client->Command("STOR taken.jpg"), 150);
  DataConnection thief("127.0.0.1", dataPort, "127.0.0.2");
  if (thief.IsConnected()) {
    EXPECT_TRUE(thief.WaitForClose());
  }
  DataConnection data("127.0.0.1", dataPort);
  data.Send("mine");
  data.Close();
  EXPECT_EQ(client->ReadReply(), 226);
  EXPECT_EQ(FilesUnder(root()), std::vector<std::string>{"taken.jpg"});
}

TEST_F(HostileClientTest, AnOverlongLineEndsOnlyThatSession) {
  FtpTestClient client("127.0.0.1", port_);
  client.SendRaw("STOR " + std::string(100 * 1024, 'a') + "\r\n");
  EXPECT_EQ(client.ReadReply(), 500);
  EXPECT_TRUE(client.WaitForClose());
  ExpectServesAWellBehavedUpload("after-long-line.jpg");
}

TEST_F(HostileClientTest, ASilentOrTricklingClientIsCutAtTheIdleTimeOut) {
  FtpTestClient silent("127.0.0.1", port_);
  FtpTestClient trickling("127.0.0.1", port_);
  trickling.SendRaw("NOO");  // never completes the line
  EXPECT_EQ(silent.ReadReply(), 421);
  EXPECT_EQ(trickling.ReadReply(), 421);
  EXPECT_TRUE(trickling.WaitForClose());
  ExpectServesAWellBehavedUpload("after-idle.jpg");
}

TEST_F(HostileClientTest, AFloodOfConnectionsIsRefusedPastTheLimitsWhileOthersAreServed) {
  std::vector<std::unique_ptr<FtpTestClient>> flood;
  size_t served = 0;
  size_t refused = 0;
  for (int i = 0; i < 200; ++i) {
    auto client = std::make_unique<FtpTestClient>("127.0.0.1", port_, "127.0.0.2");
    if (!client->IsConnected()) GTEST_SKIP() << "cannot connect from 127.0.0.2";
    (client->greeting() == 220 ? served : refused) += 1;
    flood.push_back(std::move(client));
  }
  EXPECT_EQ(served, 16u);
  EXPECT_EQ(refused, 184u);
  ExpectServesAWellBehavedUpload("during-flood.jpg");
}

enum class Cut { ControlClosed, DataThenControlClosed, DataReset, Abort, DataIdle };

struct CutCase {
  const char* name;
  Cut cut;
};

const CutCase kCutCases[] = {
    {"ClientGone", Cut::ControlClosed},
    // A killed client: its data connection ends in order, its control connection just after.
    {"ClientKilled", Cut::DataThenControlClosed},
    {"DataConnectionReset", Cut::DataReset},
    {"Abort", Cut::Abort},
    {"DataIdleTimeOut", Cut::DataIdle},
};

class CutUploadTest : public HostileClientTest, public testing::WithParamInterface<CutCase> {};

TEST_P(CutUploadTest, IsNeverReportedAndLeavesNothingBehind) {
  auto client = LoggedIn();
  const uint16_t dataPort = client->Passive();
  ASSERT_EQ(client->Command("STOR cut.jpg"), 150);
  DataConnection data("127.0.0.1", dataPort);
  data.Send(std::string(50000, 'x'));
  switch (GetParam().cut) {
    case Cut::ControlClosed:
      client->Disconnect();
      break;
    case Cut::DataThenControlClosed:
      data.Close();
      // The dying client's second close comes a moment after its first.
      std::this_thread::sleep_for(50ms);
      client->Disconnect();
      break;
    case Cut::DataReset:
      data.Reset();
      // 425 when the reset came before the server took the connection.
      EXPECT_THAT(client->ReadReply(), testing::AnyOf(425, 426));
      break;
    case Cut::Abort:
      EXPECT_EQ(client->Command("ABOR"), 426);
      EXPECT_EQ(client->ReadReply(), 226);
      break;
    case Cut::DataIdle:
      EXPECT_EQ(client->ReadReply(), 426);
      break;
  }
  data.Close();
  ExpectServesAWellBehavedUpload("good.jpg");

  ASSERT_TRUE(events_.WaitForFiles(1));
  std::vector<std::string> received;
  server_.GetReceivedFiles(received);
  EXPECT_EQ(received, std::vector<std::string>{(root() / "good.jpg").string()});
  EXPECT_EQ(events_.files(), received);
  EXPECT_TRUE(OnlyFilesUnderRoot({"good.jpg"}));
}

INSTANTIATE_TEST_SUITE_P(Cuts, CutUploadTest, testing::ValuesIn(kCutCases),
                         [](const testing::TestParamInfo<CutCase>& info) { return info.param.name; });

}  // namespace
}  // namespace test_support
