#include "FtpControlConnection.h"

#include <sys/socket.h>

#include <asio/write.hpp>
#include <cerrno>

#include "ConnectionRegistry.h"
#include "FtpDataChannel.h"
#include "FtpServiceEvents.h"
#include "UploadFile.h"

namespace ftpserv {
namespace {

// Commands that wait for a running transfer beyond this stop the reading, so a client cannot
// make the queue grow without bound.
constexpr size_t kMaxDeferredCommands = 16;
// Unparsed input beyond this also stops the reading until the session catches up.
constexpr size_t kMaxPendingInput = 65536;

bool ActsDuringTransfer(const std::string& verb) { return verb == "ABOR" || verb == "QUIT"; }

FtpReply TransferReply(const TransferResult& result) {
  switch (result.kind) {
    case TransferResult::Kind::Complete:
      return {226, "Transfer complete."};
    case TransferResult::Kind::NoConnection:
      return {425, "Can't open data connection."};
    case TransferResult::Kind::ConnectionLost:
      return {426, "Connection closed; transfer aborted."};
    case TransferResult::Kind::StoreFailed:
      if (IsNoSpace(result.error.value())) return {452, "Insufficient storage space."};
      return {451, "Local error in processing: " + result.error.message() + "."};
  }
  return {451, "Local error in processing."};
}

}  // namespace

FtpControlConnection::FtpControlConnection(asio::ip::tcp::socket socket, const FtpServiceConfig& config,
                                           ConnectionRegistry& registry, FtpServiceEvents& events)
    : socket_(std::move(socket)),
      config_(config),
      registry_(registry),
      events_(events),
      handler_(config, state_, *this, [this](const std::string& line) { Log(line); }),
      parser_(config.limits.maxLineLength),
      idleTimer_(socket_.get_executor()),
      delayTimer_(socket_.get_executor()),
      settleTimer_(socket_.get_executor()) {
  std::error_code ignored;
  // Each reply goes out in one write and the client waits for it: Nagle's algorithm would hold a
  // reply back until the client acknowledged the one before, which a client that is sending
  // nothing does only after its delayed-ACK time (40 ms on Linux), on every upload.
  socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
  const auto remote = socket_.remote_endpoint(ignored);
  state_.peer = Unmapped(remote.address());
  state_.local = Unmapped(socket_.local_endpoint(ignored).address());
  client_ = state_.peer.to_string() + " port " + std::to_string(remote.port());
}

FtpControlConnection::~FtpControlConnection() {
  if (data_) data_->Close();
  registry_.Remove(this, state_.peer);
}

void FtpControlConnection::Start() {
  Log("connected");
  Enqueue({220, "Velloran FTP server ready."});
  ArmIdleTimer();
  Read();
}

void FtpControlConnection::Close(const std::string& reason) {
  if (closed_) return;
  closed_ = true;
  Log("connection closed: " + reason);
  if (data_) {
    if (data_->IsTransferring()) Log("transfer of " + transferName_ + " dropped");
    data_->Close();
    data_.reset();
  }
  if (DropSettlingUpload()) Log("upload of " + transferName_ + " dropped");
  std::error_code ignored;
  socket_.close(ignored);
  idleTimer_.cancel();
  delayTimer_.cancel();
}

void FtpControlConnection::Log(const std::string& line) const { events_.Log("[" + client_ + "] " + line); }

bool FtpControlConnection::IsReadingPaused() const {
  return closed_ || closing_ || delaying_ || deferred_.size() >= kMaxDeferredCommands ||
         input_.size() >= kMaxPendingInput;
}

void FtpControlConnection::Read() {
  if (reading_ || IsReadingPaused()) return;
  reading_ = true;
  socket_.async_read_some(asio::buffer(readBuffer_), [self = shared_from_this()](std::error_code error, size_t count) {
    self->reading_ = false;
    if (self->closed_) return;
    if (error) {
      self->Close(error == asio::error::eof ? "client disconnected" : error.message());
      return;
    }
    self->input_.append(self->readBuffer_.data(), count);
    self->ProcessInput();
    self->Read();
  });
}

void FtpControlConnection::ProcessInput() {
  while (!input_.empty() && !closed_ && !closing_ && !delaying_ && deferred_.size() < kMaxDeferredCommands) {
    const auto step = parser_.Parse(input_);
    input_.erase(0, step.consumed);
    switch (step.result) {
      case FtpCommandParser::Result::NeedMore:
        return;
      case FtpCommandParser::Result::TooLong:
        Log("command line longer than " + std::to_string(config_.limits.maxLineLength) + " bytes");
        input_.clear();
        Enqueue({500, "Command line too long."});
        CloseAfterReplies();
        return;
      case FtpCommandParser::Result::Malformed:
        // An empty verb stands for the bad line, so that its reply keeps its place among the
        // replies to commands held during a transfer.
        Dispatch(FtpCommand{});
        break;
      case FtpCommandParser::Result::Complete:
        Dispatch(parser_.command());
        break;
    }
  }
}

void FtpControlConnection::Dispatch(const FtpCommand& command) {
  if (IsTransferring() && !ActsDuringTransfer(command.verb)) {
    deferred_.push_back(command);
    return;
  }
  Execute(command);
}

void FtpControlConnection::Execute(const FtpCommand& command) {
  if (command.verb.empty()) {
    Enqueue({500, "Syntax error in command."});
    return;
  }
  ArmIdleTimer();  // only whole commands count as activity, so a trickle of bytes cannot hold a session
  FtpOutcome outcome = handler_.Handle(command);
  if (outcome.delay.count() <= 0) {
    Enqueue(outcome.reply);
    if (outcome.closeSession) CloseAfterReplies();
    return;
  }
  delaying_ = true;
  delayTimer_.expires_after(outcome.delay);
  delayTimer_.async_wait([self = shared_from_this(), outcome](std::error_code error) {
    if (error || self->closed_) return;
    self->delaying_ = false;
    self->Enqueue(outcome.reply);
    if (outcome.closeSession) {
      self->CloseAfterReplies();
      return;
    }
    self->ProcessInput();
    self->Read();
  });
}

void FtpControlConnection::RunDeferred() {
  while (!deferred_.empty() && !IsTransferring() && !delaying_ && !closing_ && !closed_) {
    const FtpCommand command = std::move(deferred_.front());
    deferred_.pop_front();
    Execute(command);
  }
  ProcessInput();
  Read();
}

bool FtpControlConnection::IsTransferring() const {
  return settling_.has_value() || (data_ && data_->IsTransferring());
}

std::optional<uint16_t> FtpControlConnection::ListenPassive() {
  if (data_) data_->Close();
  std::error_code error;
  data_ = FtpDataChannel::Listen(
      socket_.get_executor(), state_.local, state_.peer, config_.limits.dataTimeout,
      [this](const std::string& line) { Log(line); }, error);
  if (!data_) {
    Log("cannot open a passive port: " + error.message());
    return std::nullopt;
  }
  return data_->port();
}

void FtpControlConnection::ConnectActive(const asio::ip::tcp::endpoint& target) {
  if (data_) data_->Close();
  data_ = FtpDataChannel::Connect(socket_.get_executor(), target, config_.limits.dataTimeout,
                                  [this](const std::string& line) { Log(line); });
}

bool FtpControlConnection::HasDataSetup() const { return static_cast<bool>(data_); }

void FtpControlConnection::Receive(std::unique_ptr<UploadFile> file, std::string name) {
  transferName_ = std::move(name);
  Log("upload of " + transferName_ + " started");
  data_->Receive(std::move(file), [self = shared_from_this()](TransferResult result) {
    self->OnTransferDone(std::move(result), /*isUpload=*/true);
  });
}

void FtpControlConnection::Send(std::string bytes) {
  transferName_ = "listing";
  data_->Send(std::move(bytes), [self = shared_from_this()](TransferResult result) {
    self->OnTransferDone(std::move(result), /*isUpload=*/false);
  });
}

bool FtpControlConnection::AbortTransfer() {
  if (DropSettlingUpload()) {
    Log("transfer of " + transferName_ + " aborted by the client");
    Enqueue({426, "Connection closed; transfer aborted."});
    return true;
  }
  if (!data_) return false;
  const bool running = data_->IsTransferring();
  data_->Close();
  data_.reset();
  if (running) {
    Log("transfer of " + transferName_ + " aborted by the client");
    Enqueue({426, "Connection closed; transfer aborted."});
  }
  return running;
}

void FtpControlConnection::OnTransferDone(TransferResult result, bool isUpload) {
  data_.reset();  // a data connection serves one transfer
  if (isUpload && result.file && result.kind == TransferResult::Kind::Complete &&
      config_.limits.uploadSettleTime.count() > 0) {
    settling_ = std::move(result);
    settleTimer_.expires_after(config_.limits.uploadSettleTime);
    settleTimer_.async_wait([self = shared_from_this()](std::error_code error) {
      if (!error) self->OnUploadSettled();
    });
    return;
  }
  FinishTransfer(std::move(result), isUpload);
}

void FtpControlConnection::OnUploadSettled() {
  if (closed_ || !settling_) return;
  TransferResult result = std::move(*settling_);
  settling_.reset();
  FinishTransfer(std::move(result), /*isUpload=*/true);
}

bool FtpControlConnection::DropSettlingUpload() {
  if (!settling_) return false;
  settling_.reset();  // the temporary file goes with it
  settleTimer_.cancel();
  return true;
}

void FtpControlConnection::FinishTransfer(TransferResult result, bool isUpload) {
  FtpReply reply = TransferReply(result);
  // In stream mode the end of the data is the end of the file, which a client that went away
  // mid-upload also produces: an upload whose control connection the client has closed is cut,
  // not complete, and is dropped with its temporary file.
  if (isUpload && result.file && result.kind == TransferResult::Kind::Complete && ClientHasLeft()) {
    Close("client disconnected during the upload of " + transferName_);
    return;
  }
  if (isUpload && result.file) {
    const auto path = result.file->target();
    if (const auto error = result.file->Commit()) {
      reply = {451, "Could not store the file: " + error.message() + "."};
    } else {
      events_.Stored(path);
    }
  }
  Log((isUpload ? "upload of " : "") + transferName_ + ": " + std::to_string(result.bytes) + " bytes, " +
      std::to_string(reply.code) + " " + reply.lines.front());
  Enqueue(reply);
  RunDeferred();
}

bool FtpControlConnection::ClientHasLeft() {
  if (closed_) return true;
  // The client's end of the control connection, without consuming what it sent: an orderly
  // close reads as 0 bytes, a reset as an error; pending commands or nothing yet mean it stays.
  char byte = 0;
  const ssize_t got = ::recv(socket_.native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (got == 0) return true;
  return got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

void FtpControlConnection::Enqueue(const FtpReply& reply) {
  if (closed_) return;
  replies_.push_back(reply.ToWire());
  if (!writing_) WriteNext();
}

void FtpControlConnection::WriteNext() {
  writing_ = true;
  asio::async_write(socket_, asio::buffer(replies_.front()), [self = shared_from_this()](std::error_code error, size_t) {
    self->writing_ = false;
    self->replies_.pop_front();
    if (self->closed_) return;
    if (error) {
      self->Close(error.message());
      return;
    }
    if (!self->replies_.empty()) {
      self->WriteNext();
      return;
    }
    if (self->closing_) self->Close("session ended");
  });
}

void FtpControlConnection::CloseAfterReplies() {
  closing_ = true;
  deferred_.clear();
  if (!writing_) Close("session ended");
}

void FtpControlConnection::ArmIdleTimer() {
  idleTimer_.expires_after(config_.limits.idleTimeout);
  idleTimer_.async_wait([self = shared_from_this()](std::error_code error) {
    if (error || self->closed_) return;
    if (self->IsTransferring()) {  // the data connection watches its own idleness
      self->ArmIdleTimer();
      return;
    }
    if (self->closing_) {  // the client does not even take our last reply
      self->Close("idle time-out");
      return;
    }
    self->Log("idle for " + std::to_string(self->config_.limits.idleTimeout.count()) + " ms, closing");
    self->Enqueue({421, "Timeout."});
    self->CloseAfterReplies();
    self->ArmIdleTimer();
  });
}

}  // namespace ftpserv
