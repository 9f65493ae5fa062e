#pragma once

#include <array>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "FtpCommandHandler.h"
#include "FtpCommandParser.h"
#include "FtpDataChannel.h"
#include "FtpDataLink.h"
#include "FtpSessionState.h"

namespace ftpserv {

class ConnectionRegistry;
class FtpDataChannel;
class FtpServiceEvents;

// One client's control connection: its socket, its command parser and its session. Commands run
// one at a time in the order they came; while a transfer runs, only ABOR and QUIT act at once and
// the rest wait for the transfer's final reply. Every pending operation holds the connection;
// when none is left it dies and its socket closes. Network thread only.
class FtpControlConnection : public std::enable_shared_from_this<FtpControlConnection>, private FtpDataLink {
 public:
  FtpControlConnection(asio::ip::tcp::socket socket, const FtpServiceConfig& config, ConnectionRegistry& registry,
                       FtpServiceEvents& events);
  FtpControlConnection(const FtpControlConnection&) = delete;
  FtpControlConnection& operator=(const FtpControlConnection&) = delete;
  ~FtpControlConnection() override;

  void Start();
  // Where every handler of this connection and of its data connections runs.
  asio::any_io_executor Executor() { return socket_.get_executor(); }
  // Closes the connection and its data connection at once; an upload in progress is dropped.
  void Close(const std::string& reason);

 private:
  // FtpDataLink
  std::optional<uint16_t> ListenPassive() override;
  void ConnectActive(const asio::ip::tcp::endpoint& target) override;
  bool HasDataSetup() const override;
  void Receive(std::unique_ptr<UploadFile> file, std::string name) override;
  void Send(std::string bytes) override;
  bool AbortTransfer() override;

  void Read();
  bool IsReadingPaused() const;
  void ProcessInput();
  void Dispatch(const FtpCommand& command);
  void Execute(const FtpCommand& command);
  void RunDeferred();
  void OnTransferDone(TransferResult result, bool isUpload);
  // The settle time of a complete upload has passed.
  void OnUploadSettled();
  // Commits a complete upload (unless the client has left), logs and sends the final reply.
  void FinishTransfer(TransferResult result, bool isUpload);
  // Drops an upload waiting out its settle time; whether there was one.
  bool DropSettlingUpload();
  // Whether the client has closed or reset its end of the control connection.
  bool ClientHasLeft();
  void Enqueue(const FtpReply& reply);
  void WriteNext();
  void CloseAfterReplies();
  void ArmIdleTimer();
  bool IsTransferring() const;
  void Log(const std::string& line) const;

  asio::ip::tcp::socket socket_;
  const FtpServiceConfig& config_;
  ConnectionRegistry& registry_;
  FtpServiceEvents& events_;
  std::string client_;  // "address port", for the log
  FtpSessionState state_;
  FtpCommandHandler handler_;
  FtpCommandParser parser_;
  asio::steady_timer idleTimer_;
  asio::steady_timer delayTimer_;
  asio::steady_timer settleTimer_;

  std::array<char, 4096> readBuffer_{};
  std::string input_;                 // received, not yet parsed
  std::deque<FtpCommand> deferred_;   // arrived during a transfer
  std::deque<std::string> replies_;   // the front one is being written; they outlive the write
  std::shared_ptr<FtpDataChannel> data_;
  std::optional<TransferResult> settling_;  // a complete upload waiting out its settle time
  std::string transferName_;
  bool reading_ = false;
  bool writing_ = false;
  bool delaying_ = false;
  bool closing_ = false;  // close once the queued replies are out
  bool closed_ = false;
};

}  // namespace ftpserv
