#include "VsftpdServer.h"

#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support/FtpClient.h"

extern char** environ;

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr auto kStartTimeout = std::chrono::seconds(5);

std::string Configuration(const fs::path& root, const fs::path& emptyFolder, int port) {
  return "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" + std::to_string(port) +
         "\nbackground=NO\n"
         "anonymous_enable=YES\nanon_root=" + root.string() +
         "\nwrite_enable=YES\nanon_upload_enable=YES\nanon_umask=022\nlocal_enable=NO\n"
         // A container allows neither the seccomp filter nor new namespaces.
         "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\nsecure_chroot_dir=" + emptyFolder.string() +
         "\nmax_clients=0\nmax_per_ip=0\nxferlog_enable=NO\nsyslog_enable=NO\nconnect_from_port_20=NO\n"
         "check_shell=NO\nuserlist_enable=NO\nssl_enable=NO\n";
}

}  // namespace

VsftpdServer::VsftpdServer(const fs::path& folder, int port) {
  error_ = Start(folder, port);
  if (!error_.empty()) Stop();
}

std::string VsftpdServer::Start(const fs::path& folder, int port) {
  // The anonymous root must not be writable by the session user; its incoming folder must be.
  const fs::path root = folder / "root";
  const fs::path empty = folder / "empty";
  incoming_ = root / "incoming";
  fs::create_directories(incoming_);
  fs::create_directories(empty);
  // vsftpd changes into the root as its session user: the private folders on the way (made
  // owner-only) must let it pass.
  for (fs::path step = folder; (fs::status(step).permissions() & fs::perms::others_exec) == fs::perms::none;
       step = step.parent_path()) {
    fs::permissions(step, fs::perms::others_exec, fs::perm_options::add);
  }
  const auto open = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                    fs::perms::others_exec;
  fs::permissions(root, open);
  fs::permissions(empty, open);
  const passwd* ftpUser = getpwnam("ftp");  // made by the vsftpd package
  if (ftpUser == nullptr || chown(incoming_.c_str(), ftpUser->pw_uid, ftpUser->pw_gid) != 0) {
    return "cannot give " + incoming_.string() + " to the user ftp (run as root, with vsftpd installed)";
  }
  const fs::path config = folder / "vsftpd.conf";
  std::ofstream(config) << Configuration(root, empty, port);

  const std::string configText = config.string();
  const char* argv[] = {"vsftpd", configText.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "vsftpd", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    return "vsftpd cannot be started (apt-get install vsftpd)";
  }
  pid_ = pid;
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (!test_support::Listening(port)) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return "vsftpd ended at once (status " + std::to_string(status) + ")";
    }
    if (std::chrono::steady_clock::now() > deadline) return "vsftpd does not listen on port " + std::to_string(port);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return {};
}

VsftpdServer::~VsftpdServer() { Stop(); }

void VsftpdServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace bench
