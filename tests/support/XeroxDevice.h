#pragma once

// The stand-in Xerox device of the tests (tests/support/xerox-device.py): its template service
// over HTTPS on a free loopback port, and what it recorded.

#include <signal.h>
#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/ScanTemplateFields.h"
#include "support/ShellQuoted.h"

namespace test_support {

inline constexpr const char* kTemplatePath = "/webservices/office/template_management/1";

struct XeroxDeviceOptions {
  std::vector<std::string> accept{std::string(kTemplatePath) + "/"};  // paths that answer
  std::string answer = "normal";  // normal fault stall huge malformed html redirect
  std::vector<std::string> scan;  // files sent by FTP after each template
  std::string cert;               // certificate and key to use; made anew when empty
  std::string key;
};

class XeroxDevice {
 public:
  XeroxDevice(std::filesystem::path workdir, const XeroxDeviceOptions& options = {}) : workdir_(std::move(workdir)) {
    std::string command = "exec python3 " + ShellQuoted(XEROX_DEVICE_SCRIPT) + " --workdir " + ShellQuoted(workdir_.string()) +
                          " --answer " + ShellQuoted(options.answer);
    for (const auto& path : options.accept) command += " --accept " + ShellQuoted(path);
    for (const auto& file : options.scan) command += " --scan " + ShellQuoted(file);
    if (!options.cert.empty()) command += " --cert " + ShellQuoted(options.cert) + " --key " + ShellQuoted(options.key);
    std::filesystem::create_directories(workdir_);
    command += " 2>>" + ShellQuoted((workdir_ / "stderr.log").string());
    pipe_ = popen(command.c_str(), "r");
    if (!pipe_) throw std::runtime_error("cannot start the stand-in device");
    char line[128] = "";
    if (!fgets(line, sizeof line, pipe_) || std::sscanf(line, "ready %d %d", &port_, &pid_) != 2) {
      pclose(pipe_);
      throw std::runtime_error("the stand-in device did not start: " + Read("stderr.log"));
    }
  }
  XeroxDevice(const XeroxDevice&) = delete;
  XeroxDevice& operator=(const XeroxDevice&) = delete;
  ~XeroxDevice() {
    kill(pid_, SIGTERM);
    pclose(pipe_);
  }

  int Port() const { return port_; }
  // The MfpName under which the source reaches it.
  std::string Name() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Url(const std::string& path = std::string(kTemplatePath) + "/") const {
    return "https://" + Name() + path;
  }
  std::string CertificateFile() const { return (workdir_ / "device.crt").string(); }
  std::string KeyFile() const { return (workdir_ / "device.key").string(); }

  // "Operation path" per request, in order ("- path" for a refused one).
  std::vector<std::string> Requests() const { return Lines("requests.log"); }
  // Every accepted template, in order.
  std::vector<std::string> Templates() const {
    std::vector<std::string> all;
    for (int i = 1;; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "templates/%03d.xst", i);
      if (!std::filesystem::exists(workdir_ / name)) return all;
      all.push_back(Read(name));
    }
  }
  std::vector<std::string> ScanLog() const { return Lines("scan.log"); }

 private:
  std::string Read(const std::string& name) const {
    std::ifstream in(workdir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> Lines(const std::string& name) const {
    std::vector<std::string> lines;
    std::istringstream in(Read(name));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::filesystem::path workdir_;
  FILE* pipe_ = nullptr;
  int port_ = 0;
  int pid_ = 0;
};

}  // namespace test_support
