// Applications end in many ways: they unload the source, return from main with it still loaded
// and open, or call exit() from another thread while one of theirs is inside the source. The
// process must end with its own status every time, never with a signal (nor, in the sanitizer
// build, with a leak report).
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/BuildPaths.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"

extern char** environ;

namespace twain_test {
namespace {

using test_support::ScopedEnvironment;

struct ExitCase {
  const char* name;
  const char* mode;  // of the exit host
  int runs;          // the ones that race run several times
};

constexpr ExitCase kExitCases[] = {
    {"ReturnFromMainWithTheSourceOpen", "return", 1},
    {"ExitFromAnotherThreadDuringCalls", "exit-while-calling", 10},
    {"ExitFromAnotherThreadBetweenCalls", "exit-while-idle", 3},
    {"UnloadBeforeReturning", "unload", 1},
};

// Runs the exit host and returns its wait status.
int RunExitHost(const char* mode) {
  const std::string manager = test_support::TestDsmPath();
  const std::string source = test_support::VelloranDsPath();
  std::vector<char*> argv{const_cast<char*>(EXIT_HOST_PATH), const_cast<char*>(mode),
                          const_cast<char*>(manager.c_str()), const_cast<char*>(source.c_str()), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, EXIT_HOST_PATH, nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  return status;
}

std::string Describe(int status) {
  if (status == -1) return "not started";
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "exit status " + std::to_string(WEXITSTATUS(status));
}

class ProcessExit : public ::testing::TestWithParam<ExitCase> {
 protected:
  ScopedEnvironment environment;
};

TEST_P(ProcessExit, EndsWithTheApplicationsStatusWhileLogging) {
  const auto settings = test_support::PrepareSourceSettings();
  settings->SetLoggerEnabled(true);
  for (int run = 0; run < GetParam().runs; ++run) {
    const int status = RunExitHost(GetParam().mode);
    ASSERT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << Describe(status) << " in run " << run;
  }
  // Logging was on, so log4cxx's objects existed as the process ended.
  const std::string log = ScopedEnvironment::ReadFile(settings->GetLogFilePath());
  EXPECT_NE(log.find("DEBUG Velloran: Call DG_CONTROL_HANDLER: 0x3\n"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Endings, ProcessExit, ::testing::ValuesIn(kExitCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twain_test
