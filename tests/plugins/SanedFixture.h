#pragma once

// The remote scanner connector against a real saned: events recorded as they come, and the
// pages compared with what scanimage makes of SANE's test backend with the same options.

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "connectors/CSSConnector.h"
#include "connectors/CSSConnectorEvents.h"
#include "session/Polling.h"
#include "support/SanedDaemon.h"
#include "support/ScopedEnvironment.h"
#include "support/ShellQuoted.h"

namespace plugins_test {

// What the connector told its sink, in order.
class RecordingSink : public CSSConnectorEvents {
 public:
  void OnConnectorMessage(const std::string& message) override { Add("message: " + message); }
  void OnReceivedFile(const std::string& file) override {
    const std::lock_guard lock(mutex_);
    files_.push_back(file);
    events_.push_back("file");
  }
  void OnScanFinished() override { Add("finished"); }

  std::vector<std::string> Files() const {
    const std::lock_guard lock(mutex_);
    return files_;
  }
  std::vector<std::string> Events() const {
    const std::lock_guard lock(mutex_);
    return events_;
  }
  std::string Messages() const {
    std::string all;
    for (const std::string& event : Events())
      if (event.rfind("message: ", 0) == 0) all += event + "\n";
    return all;
  }
  bool Finished() const {
    const auto events = Events();
    return !events.empty() && events.back() == "finished";
  }

 private:
  void Add(std::string event) {
    const std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  mutable std::mutex mutex_;
  std::vector<std::string> files_;
  std::vector<std::string> events_;
};

// The pixels of an image file as 8-bit RGB, read by ImageMagick; `rotate` turns it first.
inline std::string PixelsOf(const std::filesystem::path& file, int rotate = 0) {
  const std::filesystem::path raw = file.string() + ".rgb";
  const std::string command = "convert " + test_support::ShellQuoted(file.string()) +
                              (rotate ? " -rotate " + std::to_string(rotate) : std::string()) +
                              " -depth 8 rgb:" + test_support::ShellQuoted(raw.string());
  if (std::system(command.c_str()) != 0) return {};
  return test_support::ScopedEnvironment::ReadFile(raw);
}

// scanimage on the test backend itself (no daemon), configured by the daemon's folder, so that
// it makes the same picture; its page in PNM.
inline std::filesystem::path Scanimage(const test_support::SanedDaemon& daemon, const std::string& options,
                                       const std::filesystem::path& out) {
  const std::string command = "SANE_CONFIG_DIR=" + test_support::ShellQuoted(daemon.ConfigFolder().string()) +
                              " scanimage -d test:0 --format=pnm " + options + " -o " +
                              test_support::ShellQuoted(out.string()) + " 2>/dev/null";
  return std::system(command.c_str()) == 0 ? out : std::filesystem::path();
}

}  // namespace plugins_test
