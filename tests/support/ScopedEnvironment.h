#pragma once

// A private world for one test: a fresh temporary folder with a home, a per-user configuration
// folder, an all-users configuration folder and a temporary folder inside it, with HOME,
// XDG_CONFIG_HOME, XDG_CONFIG_DIRS and TMPDIR pointing at them, and DISPLAY and
// WAYLAND_DISPLAY unset so that nothing tries to show a window. Everything is restored and the
// folder removed when the object dies. Tests that use it must not run in parallel threads of
// one process (the environment is process-wide); CTest runs each test in its own process.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace test_support {

class ScopedEnvironment {
 public:
  ScopedEnvironment() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velloran-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    root_ = pattern;
    for (const char* folder : {"home", "config", "config-common", "tmp"}) {
      std::filesystem::create_directories(root_ / folder);
    }
    Override("HOME", (root_ / "home").string());
    Override("XDG_CONFIG_HOME", (root_ / "config").string());
    Override("XDG_CONFIG_DIRS", (root_ / "config-common").string());
    Override("TMPDIR", (root_ / "tmp").string());
    Override("DISPLAY", std::nullopt);
    Override("WAYLAND_DISPLAY", std::nullopt);
  }

  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) Apply(it->first, it->second);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path Home() const { return root_ / "home"; }
  std::filesystem::path ConfigHome() const { return root_ / "config"; }      // per-user settings
  std::filesystem::path CommonConfig() const { return root_ / "config-common"; }  // all-users defaults
  std::filesystem::path Temp() const { return root_ / "tmp"; }

  // The per-user and all-users settings folders of a module, as the settings placement makes them.
  std::filesystem::path UserSettingsFolder(const std::string& baseName, const std::string& maker = "Oskaveld") const {
    return ConfigHome() / maker / baseName;
  }
  std::filesystem::path CommonSettingsFolder(const std::string& baseName,
                                             const std::string& maker = "Oskaveld") const {
    return CommonConfig() / maker / baseName;
  }

  // Sets (or with nullopt unsets) another variable for the lifetime of this object.
  void Set(const std::string& name, std::optional<std::string> value) { Override(name, std::move(value)); }

  // Writes a file, creating its folders.
  static void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path.string());
  }

  static std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  void Override(const std::string& name, std::optional<std::string> value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    Apply(name, value);
  }

  static void Apply(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }

  std::filesystem::path root_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace test_support
