#include "support/ScopedEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <fstream>

namespace {

using test_support::ScopedEnvironment;

size_t CountEntries(const char* folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

size_t CountLines(const std::filesystem::path& file) {
  std::ifstream in(file);
  size_t lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  return lines;
}

// Applications load and unload a data source many times in one process; every cycle must give
// back what logging took: threads, open files and (in the sanitizer build) memory.
TEST(LoggingModuleReloadTest, LoadingAndUnloadingTheModuleLeavesNothingBehind) {
  ScopedEnvironment env;
  ScopedEnvironment::WriteFile(env.Temp() / "VELLORAN.ini", "[Logger]\nLoggerEnabled=1\n");
  using Probe = void (*)(const char*, int);
  const auto runCycle = [&](int cycle) {
    void* module = dlopen(LOGGING_PROBE_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto probe = reinterpret_cast<Probe>(dlsym(module, "RunLoggingProbe"));
    ASSERT_NE(probe, nullptr);
    probe(env.Temp().c_str(), cycle);
    ASSERT_EQ(dlclose(module), 0);
    // Really gone, so that the next cycle starts from a fresh load.
    ASSERT_EQ(dlopen(LOGGING_PROBE_MODULE, RTLD_NOW | RTLD_NOLOAD), nullptr);
  };

  runCycle(0);
  const size_t threads = CountEntries("/proc/self/task");
  const size_t files = CountEntries("/proc/self/fd");
  for (int cycle = 1; cycle < 1000; ++cycle) {
    runCycle(cycle);
    if (HasFatalFailure()) return;
  }

  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
  EXPECT_EQ(CountEntries("/proc/self/fd"), files);
  EXPECT_EQ(CountLines(env.Temp() / "VELLORAN.log"), 1000u);
}

}  // namespace
