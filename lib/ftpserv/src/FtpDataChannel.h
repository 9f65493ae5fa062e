#pragma once

#include <array>
#include <asio/any_io_executor.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

namespace ftpserv {

class UploadFile;

// How a transfer ended.
struct TransferResult {
  enum class Kind {
    Complete,        // the peer closed the data connection cleanly after all bytes
    NoConnection,    // the data connection never came (refused, timed out)
    ConnectionLost,  // reset or timed out in the middle
    StoreFailed,     // the bytes could not be written (disk full, ...)
  };
  Kind kind;
  std::error_code error;
  size_t bytes = 0;
  std::unique_ptr<UploadFile> file;  // a complete upload, not yet in place
};

// One data connection: a PASV/EPSV accept or a PORT/EPRT connect, used for one transfer. Each
// pending operation holds the channel; Close cancels them all and no result is reported after
// it. Network thread only.
class FtpDataChannel : public std::enable_shared_from_this<FtpDataChannel> {
 public:
  using Done = std::function<void(TransferResult)>;
  using Log = std::function<void(const std::string&)>;

  // Listens on local's address (any port) for a connection from allowedPeer only.
  static std::shared_ptr<FtpDataChannel> Listen(const asio::any_io_executor& io, const asio::ip::address& local,
                                                const asio::ip::address& allowedPeer,
                                                std::chrono::milliseconds timeout, Log log, std::error_code& error);
  // Connects to target when the transfer starts.
  static std::shared_ptr<FtpDataChannel> Connect(const asio::any_io_executor& io, const asio::ip::tcp::endpoint& target,
                                                 std::chrono::milliseconds timeout, Log log);

  FtpDataChannel(const asio::any_io_executor& io, std::chrono::milliseconds timeout, Log log);

  uint16_t port() const { return port_; }
  bool IsTransferring() const { return static_cast<bool>(done_); }
  void Receive(std::unique_ptr<UploadFile> file, Done done);
  void Send(std::string bytes, Done done);
  void Close();

 private:
  void Accept();
  void Begin();
  void ReadSome();
  void WriteAll();
  void Finish(TransferResult::Kind kind, std::error_code error);
  void ArmTimer();

  asio::any_io_executor io_;
  std::chrono::milliseconds timeout_;
  Log log_;
  asio::ip::tcp::acceptor acceptor_;
  asio::ip::tcp::socket socket_;
  asio::steady_timer timer_;
  asio::ip::address allowedPeer_;
  std::optional<asio::ip::tcp::endpoint> target_;  // active mode
  uint16_t port_ = 0;
  bool connected_ = false;
  bool closed_ = false;

  Done done_;                          // set while a transfer runs
  std::unique_ptr<UploadFile> file_;   // receiving
  std::string outgoing_;               // sending; outlives the write
  size_t bytes_ = 0;
  std::array<char, 65536> buffer_{};
};

}  // namespace ftpserv
