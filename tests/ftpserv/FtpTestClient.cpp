#include "FtpTestClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "platform/StringConversion.h"

namespace test_support {
namespace {

constexpr int kReceiveTimeoutSeconds = 10;

// A connected socket to host:port (IPv4 or IPv6 literal), or -1.
int ConnectTo(const std::string& host, uint16_t port, const std::string& sourceAddress) {
  sockaddr_storage address{};
  socklen_t length = 0;
  const bool v6 = host.find(':') != std::string::npos;
  if (v6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    inet_pton(AF_INET6, host.c_str(), &in6->sin6_addr);
    length = sizeof(sockaddr_in6);
  } else {
    auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
    in4->sin_family = AF_INET;
    in4->sin_port = htons(port);
    inet_pton(AF_INET, host.c_str(), &in4->sin_addr);
    length = sizeof(sockaddr_in);
  }
  const int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  timeval timeout{kReceiveTimeoutSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  if (!sourceAddress.empty()) {
    sockaddr_in source{};
    source.sin_family = AF_INET;
    inet_pton(AF_INET, sourceAddress.c_str(), &source.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof(source)) != 0) {
      close(fd);
      return -1;
    }
  }
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Reads until the peer closes (true) or the receive time-out passes (false).
bool WaitForPeerClose(int fd) {
  char buffer[4096];
  for (;;) {
    const ssize_t count = recv(fd, buffer, sizeof(buffer), 0);
    if (count == 0) return true;
    if (count < 0) return errno == ECONNRESET;  // EAGAIN: the time-out passed
  }
}

void SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
}

}  // namespace

TemporaryFolder::TemporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velloran-ftp-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> FilesUnder(const std::filesystem::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
    if (entry.is_regular_file()) files.push_back(std::filesystem::relative(entry.path(), folder).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

FtpTestClient::FtpTestClient(const std::string& host, uint16_t port, const std::string& sourceAddress)
    : fd_(ConnectTo(host, port, sourceAddress)) {
  if (fd_ >= 0) greeting_ = ReadReply();
}

FtpTestClient::~FtpTestClient() { Disconnect(); }

void FtpTestClient::Disconnect() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

int FtpTestClient::ReadReply(std::string* text) {
  for (;;) {
    // A reply ends with a line "ddd text"; lines "ddd-text" and " text" continue it.
    for (size_t end; fd_ >= 0 && (end = pending_.find("\r\n")) != std::string::npos;) {
      const std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      if (line.size() >= 4 && isdigit(static_cast<unsigned char>(line[0])) && line[3] == ' ') {
        if (text != nullptr) *text = line.substr(4);
        return std::stoi(line.substr(0, 3));
      }
    }
    if (fd_ < 0) return 0;
    char buffer[4096];
    const ssize_t count = recv(fd_, buffer, sizeof(buffer), 0);
    if (count <= 0) return 0;
    pending_.append(buffer, static_cast<size_t>(count));
  }
}

int FtpTestClient::Command(const std::string& line, std::string* text) {
  SendRaw(line + "\r\n");
  return ReadReply(text);
}

void FtpTestClient::SendRaw(std::string_view bytes) {
  if (fd_ >= 0) SendAll(fd_, bytes);
}

bool FtpTestClient::Login(const std::string& user, const std::string& password) {
  return Command("USER " + user) == 331 && Command("PASS " + password) == 230;
}

uint16_t FtpTestClient::Passive() {
  std::string text;
  if (Command("EPSV", &text) != 229) return 0;
  const size_t start = text.find("|||");
  return start == std::string::npos ? 0 : static_cast<uint16_t>(std::stoi(text.substr(start + 3)));
}

bool FtpTestClient::WaitForClose() { return WaitForPeerClose(fd_); }

bool DataConnection::WaitForClose() { return WaitForPeerClose(fd_); }

void DataConnection::Reset() {
  if (fd_ < 0) return;
  const linger abortive{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
  Close();
}


DataConnection::DataConnection(const std::string& host, uint16_t port, const std::string& sourceAddress)
    : fd_(ConnectTo(host, port, sourceAddress)) {}

DataConnection::~DataConnection() { Close(); }

void DataConnection::Send(std::string_view bytes) {
  if (fd_ >= 0) SendAll(fd_, bytes);
}

std::string DataConnection::ReadAll() {
  std::string all;
  char buffer[4096];
  for (ssize_t count; fd_ >= 0 && (count = recv(fd_, buffer, sizeof(buffer), 0)) > 0;)
    all.append(buffer, static_cast<size_t>(count));
  return all;
}

void DataConnection::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void EventRecorder::OnServerMessage(const std::u16string& message) {
  const std::lock_guard lock(mutex_);
  messages_.push_back(platform::WideToNarrow(message));
  changed_.notify_all();
}

void EventRecorder::OnFileReceived(const std::u16string& file) {
  const std::lock_guard lock(mutex_);
  files_.push_back(platform::WideToNarrow(file));
  changed_.notify_all();
}

void EventRecorder::OnTransferFinished() {
  const std::lock_guard lock(mutex_);
  ++finished_;
  changed_.notify_all();
}

bool EventRecorder::WaitForFiles(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return files_.size() >= count && finished_ >= count; });
}

bool EventRecorder::WaitForMessage(const std::string& part, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return std::any_of(messages_.begin(), messages_.end(),
                       [&](const std::string& message) { return message.find(part) != std::string::npos; });
  });
}

std::vector<std::string> EventRecorder::files() const {
  const std::lock_guard lock(mutex_);
  return files_;
}

std::vector<std::string> EventRecorder::messages() const {
  const std::lock_guard lock(mutex_);
  return messages_;
}

size_t EventRecorder::transfersFinished() const {
  const std::lock_guard lock(mutex_);
  return finished_;
}

bool HasCurl() { return std::system("curl --version >/dev/null 2>&1") == 0; }

int RunCurl(const std::string& arguments) {
  if (!HasCurl()) return -1;
  const int status = std::system(("curl -sS --max-time 30 " + arguments + " >/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace test_support
