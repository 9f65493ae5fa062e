#pragma once

// Test helpers for the FTP server: a temporary folder, a raw control-connection client for what
// curl cannot send, a recording event sink and a curl runner.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "connectors/CFtpServerEvents.h"
#include "support/FtpClient.h"

namespace test_support {

class TemporaryFolder {
 public:
  TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  ~TemporaryFolder();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Every regular file under folder (recursively), relative to it, sorted.
std::vector<std::string> FilesUnder(const std::filesystem::path& folder);

// One blocking TCP connection with a receive time-out, speaking FTP's control protocol.
class FtpTestClient {
 public:
  // Connects to host:port, from sourceAddress when one is given; reads the greeting.
  FtpTestClient(const std::string& host, uint16_t port, const std::string& sourceAddress = "");
  FtpTestClient(const FtpTestClient&) = delete;
  FtpTestClient& operator=(const FtpTestClient&) = delete;
  ~FtpTestClient();

  bool IsConnected() const { return fd_ >= 0; }
  int greeting() const { return greeting_; }
  // The code of the next reply (its text in text); 0 when the connection closed or timed out.
  int ReadReply(std::string* text = nullptr);
  int Command(const std::string& line, std::string* text = nullptr);
  void SendRaw(std::string_view bytes);
  bool Login(const std::string& user, const std::string& password);
  // PASV or EPSV; the data port, or 0.
  uint16_t Passive();
  // Whether the server closes the connection (reading anything it still sends first).
  bool WaitForClose();
  void Disconnect();

 private:
  int fd_ = -1;
  int greeting_ = 0;
  std::string pending_;
};

// A data connection to a passive port.
class DataConnection {
 public:
  DataConnection(const std::string& host, uint16_t port, const std::string& sourceAddress = "");
  DataConnection(const DataConnection&) = delete;
  DataConnection& operator=(const DataConnection&) = delete;
  ~DataConnection();
  bool IsConnected() const { return fd_ >= 0; }
  void Send(std::string_view bytes);
  std::string ReadAll();
  // Whether the server closes the connection without taking it.
  bool WaitForClose();
  void Close();
  // Closes with a reset, as a client that crashed mid-transfer does.
  void Reset();

 private:
  int fd_ = -1;
};

// Records what the server reports.
class EventRecorder : public CFtpServerEvents {
 public:
  void OnServerMessage(const std::u16string& message) override;
  void OnFileReceived(const std::u16string& file) override;
  void OnTransferFinished() override;

  bool WaitForFiles(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  bool WaitForMessage(const std::string& part, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  std::vector<std::string> files() const;
  std::vector<std::string> messages() const;
  size_t transfersFinished() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> files_;
  std::vector<std::string> messages_;
  size_t finished_ = 0;
};

// Runs curl with arguments (shell words); its exit status, or -1 without curl.
int RunCurl(const std::string& arguments);
bool HasCurl();

}  // namespace test_support
