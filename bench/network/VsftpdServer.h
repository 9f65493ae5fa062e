#pragma once

// Debian's vsftpd as a child process, the reference the upload throughput is compared with: a
// private configuration on a loopback port, anonymous uploads into <root>/incoming, no logs.
// Runs as root (vsftpd changes to its "ftp" user for the sessions).

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace bench {

class VsftpdServer {
 public:
  // Writes the configuration under `folder` and starts vsftpd; Running() tells whether it listens.
  VsftpdServer(const std::filesystem::path& folder, int port);
  VsftpdServer(const VsftpdServer&) = delete;
  VsftpdServer& operator=(const VsftpdServer&) = delete;
  ~VsftpdServer();

  bool Running() const { return pid_ > 0; }
  const std::string& Error() const { return error_; }
  // Where anonymous uploads land.
  const std::filesystem::path& Incoming() const { return incoming_; }
  // The name a client stores `file` under.
  static std::string RemotePath(const std::string& file) { return "incoming/" + file; }

 private:
  // Empty when vsftpd listens, else why not.
  std::string Start(const std::filesystem::path& folder, int port);
  void Stop();

  std::filesystem::path incoming_;
  pid_t pid_ = -1;
  std::string error_;
};

}  // namespace bench
