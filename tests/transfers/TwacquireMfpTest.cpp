// twacquire in an MFP session, as a person runs it: the program on its own, the source's FTP
// server receiving from curl, pages written as they arrive, and the session ending at the end
// marker, at the end of the wait or at Ctrl-C.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "TransferFixture.h"
#include "session/Polling.h"
#include "support/BuildPaths.h"
#include "support/FtpClient.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"

extern char** environ;

namespace transfers_test {

namespace {

using session_test::WaitUntil;

constexpr const char* kUser = "scanner";
constexpr const char* kPassword = "Pa55word";

class TwacquireMfp : public ::testing::Test {
 protected:
  TwacquireMfp() {
    // Each page offered as it arrives; no time-out of the source's own: twacquire's wait rules.
    settings->SetMode(2);
    settings->SetAlwaysShowUI(false);
    settings->SetCurrentDirectory((environment.Root() / "scans").string());
    settings->WriteString("FtpServer", "FtpServerPort", std::to_string(port));
    settings->WriteString("FtpServer", "FtpUser", kUser);
    settings->WriteString("FtpServer", "FtpPassword", kPassword);
    settings->WriteString("ProcessingManager", "ProcessingMode", "0");
    settings->WriteString("ProcessingManager", "ProcessingModeTimeout", "0");
    std::filesystem::create_directories(out);
  }

  ~TwacquireMfp() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // Starts twacquire with its output going to a file; true once its FTP server listens.
  bool Start(int waitSeconds) {
    const std::vector<std::string> arguments = {TWACQUIRE_PATH, "--source", test_support::VelloranDsPath(),
                                                "--dsm", test_support::TestDsmPath(), "--out", out.string(),
                                                "--wait", std::to_string(waitSeconds)};
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return false;
    return WaitUntil([&] { return test_support::Listening(port) || Ended(); }) && !Ended();
  }

  // The exit status once twacquire has ended by itself (within the hang limit); -signal when a
  // signal ended it.
  std::optional<int> ExitStatus() {
    if (!WaitUntil([&] { return Ended(); })) return std::nullopt;
    pid_ = 0;
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -WTERMSIG(status_);
  }

  bool Ended() {
    if (pid_ <= 0) return true;
    return waitpid(pid_, &status_, WNOHANG) == pid_;
  }

  void Interrupt() const { kill(pid_, SIGINT); }

  bool Upload(const std::string& local, const std::string& remoteName) const {
    return test_support::FtpUpload(port, kUser, kPassword, local, remoteName);
  }
  bool UploadMarker() {
    const std::string marker = (environment.Root() / "marker").string();
    test_support::ScopedEnvironment::WriteFile(marker, "");
    return Upload(marker, "SCANFINISHEDMARKER.MRK");
  }
  std::string WritePage(const std::string& name, const CxImage& image) const {
    const std::string path = (environment.Root() / name).string();
    CxImage copy(image);
    copy.SaveFile(path, ImageFormat::Png);
    return path;
  }

  std::string Output() const { return test_support::ScopedEnvironment::ReadFile(outputFile); }
  // True once twacquire has told of page `number`: it has been written.
  bool WaitForPage(int number) {
    return WaitUntil([&] { return Output().find("page " + std::to_string(number) + ": ") != std::string::npos; });
  }
  std::size_t PagesWritten() const {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out)) count += entry.path().extension() == ".bmp";
    return count;
  }
  std::string PagePath(int number) const {
    char name[32];
    std::snprintf(name, sizeof name, "page-%04d.bmp", number);
    return (out / name).string();
  }

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  const int port = test_support::LoopbackPort(/*listen=*/false).Port();
  const std::filesystem::path out = environment.Root() / "out";
  const std::string outputFile = (environment.Root() / "twacquire.txt").string();

 private:
  pid_t pid_ = 0;
  int status_ = 0;
};

// Each page is written and told of while the session goes on waiting for the next upload.
TEST_F(TwacquireMfp, WritesEachPageAsItArrivesAndEndsAtTheMarker) {
  const std::vector<std::string> pages = {WritePage("a.png", ColourPage(101, 33, 4)),
                                          WritePage("b.png", IndexedPage(37, 21, /*grayRamp=*/true))};
  ASSERT_TRUE(Start(/*waitSeconds=*/20)) << Output();
  ASSERT_TRUE(Upload(pages[0], "a.png"));
  ASSERT_TRUE(WaitForPage(1)) << Output();
  EXPECT_EQ(PagesWritten(), 1u);
  ASSERT_TRUE(Upload(pages[1], "b.png"));
  ASSERT_TRUE(WaitForPage(2)) << Output();
  ASSERT_TRUE(UploadMarker());

  ASSERT_EQ(ExitStatus(), 0) << Output();
  EXPECT_NE(Output().find("Pages:            2\n"), std::string::npos) << Output();
  ASSERT_EQ(PagesWritten(), 2u);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(pages[i]);
    EXPECT_TRUE(SamePixels(PixelsOfFile(pages[i]), PixelsOfFile(PagePath(i + 1))));
  }
}

// Without the marker the session ends once no page has come for the wait's length, with what
// it received.
TEST_F(TwacquireMfp, EndsWhenNoFurtherPageComesWithinTheWait) {
  ASSERT_TRUE(Start(/*waitSeconds=*/1)) << Output();
  ASSERT_TRUE(Upload(WritePage("a.png", ColourPage(20, 10)), "a.png"));
  ASSERT_EQ(ExitStatus(), 0) << Output();
  EXPECT_NE(Output().find("Note: no further page within 1 s\n"), std::string::npos) << Output();
  EXPECT_NE(Output().find("Pages:            1\n"), std::string::npos) << Output();
  EXPECT_EQ(PagesWritten(), 1u);
}

struct InterruptionCase {
  const char* name;
  int pagesBefore;
  const char* note;
};

constexpr InterruptionCase kInterruptions[] = {
    {"WhileWaitingForTheFirstPage", 0, "Note: interrupted; 0 pages kept\n"},
    {"WhileTheSourceWaitsForTheNextPage", 1, "Note: interrupted; 1 page kept\n"},
};

class TwacquireMfpInterrupted : public TwacquireMfp, public ::testing::WithParamInterface<InterruptionCase> {};

// Ctrl-C ends a wait without a limit: the pages written stay, the summary is printed, and the
// exit status tells of the signal.
TEST_P(TwacquireMfpInterrupted, EndsCleanlyKeepingThePages) {
  ASSERT_TRUE(Start(/*waitSeconds=*/0)) << Output();
  for (int page = 1; page <= GetParam().pagesBefore; ++page) {
    const std::string name = "p" + std::to_string(page) + ".png";
    ASSERT_TRUE(Upload(WritePage(name, ColourPage(20, 10, page)), name));
    ASSERT_TRUE(WaitForPage(page)) << Output();
  }
  Interrupt();
  ASSERT_EQ(ExitStatus(), 128 + SIGINT) << Output();
  EXPECT_NE(Output().find(GetParam().note), std::string::npos) << Output();
  EXPECT_NE(Output().find("Pages:            " + std::to_string(GetParam().pagesBefore) + "\n"), std::string::npos)
      << Output();
  EXPECT_EQ(PagesWritten(), static_cast<std::size_t>(GetParam().pagesBefore));
}

INSTANTIATE_TEST_SUITE_P(Moments, TwacquireMfpInterrupted, ::testing::ValuesIn(kInterruptions),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace transfers_test
