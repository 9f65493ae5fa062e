#pragma once

// A real SANE network daemon for one test: saned from sane-utils, listening on a free loopback
// port, with a private configuration folder that admits 127.0.0.1 and enables SANE's `test`
// backend. Only the daemon's own environment gets SANE_CONFIG_DIR; the test process keeps its
// own. The daemon and the children it forks for its connections form one process group, which
// Pause freezes, Kill ends at once (a daemon that dies mid-scan) and the destructor ends in any
// case.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/FtpClient.h"
#include "support/ScopedEnvironment.h"

extern char** environ;

namespace test_support {

struct SanedConfig {
  int port = 0;                    // 0: a free port
  int devices = 1;                 // test backend scanners: test:0, test:1, ...
  std::string testBackendOptions;  // more lines of test.conf ("read-delay true", ...)
  std::string users;               // saned.users: "user:password:test" protects the backend
};

class SanedDaemon {
 public:
  SanedDaemon(const std::filesystem::path& folder, const SanedConfig& config = {}) : config_(folder / "sane.d") {
    ScopedEnvironment::WriteFile(config_ / "saned.conf", "127.0.0.1\n");
    ScopedEnvironment::WriteFile(config_ / "dll.conf", "test\n");
    ScopedEnvironment::WriteFile(config_ / "test.conf",
                                 "number_of_devices " + std::to_string(config.devices) + "\n" + config.testBackendOptions);
    if (!config.users.empty()) ScopedEnvironment::WriteFile(config_ / "saned.users", config.users + "\n");
    Spawn(config.port);
  }
  SanedDaemon(const SanedDaemon&) = delete;
  SanedDaemon& operator=(const SanedDaemon&) = delete;
  ~SanedDaemon() { Kill(); }

  int Port() const { return port_; }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  const std::filesystem::path& ConfigFolder() const { return config_; }

  // Freezes the daemon and its connections (a scanner that stalls), and lets them go on.
  void Pause() { ::kill(-pid_, SIGSTOP); }
  void Resume() { ::kill(-pid_, SIGCONT); }

  // Ends the daemon and every connection it serves, at once.
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  void Spawn(int port) {
    port_ = port != 0 ? port : LoopbackPort(/*listen=*/false).Port();
    std::vector<std::string> arguments{"saned", "-l", "-e", "-d", "0", "-b", "127.0.0.1", "-p", std::to_string(port_)};
    std::vector<std::string> environment{"SANE_CONFIG_DIR=" + config_.string()};
    for (char** entry = environ; *entry; ++entry) {
      if (std::string(*entry).rfind("SANE_CONFIG_DIR=", 0) != 0) environment.emplace_back(*entry);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Neither output stays tied to the test's: a daemon left behind by a test that died would
    // otherwise keep its runner waiting for the end of that output.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int result = posix_spawnp(&pid_, "saned", &actions, &attributes, Pointers(arguments).data(),
                                    Pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) throw std::runtime_error("cannot start saned");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Listening(port_)) {
      if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("saned does not listen");
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  static std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
  }

  std::filesystem::path config_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace test_support
