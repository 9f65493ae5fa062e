#include "FtpDataChannel.h"

#include <asio/post.hpp>
#include <asio/write.hpp>

#include "Addresses.h"
#include "UploadFile.h"

namespace ftpserv {

using asio::ip::tcp;

FtpDataChannel::FtpDataChannel(const asio::any_io_executor& io, std::chrono::milliseconds timeout, Log log)
    : io_(io), timeout_(timeout), log_(std::move(log)), acceptor_(io), socket_(io), timer_(io) {}

std::shared_ptr<FtpDataChannel> FtpDataChannel::Listen(const asio::any_io_executor& io, const asio::ip::address& local,
                                                       const asio::ip::address& allowedPeer,
                                                       std::chrono::milliseconds timeout, Log log,
                                                       std::error_code& error) {
  auto channel = std::make_shared<FtpDataChannel>(io, timeout, std::move(log));
  const tcp::endpoint endpoint(local, 0);
  channel->acceptor_.open(endpoint.protocol(), error);
  if (!error) channel->acceptor_.bind(endpoint, error);
  if (!error) channel->acceptor_.listen(1, error);
  if (error) return nullptr;
  channel->port_ = channel->acceptor_.local_endpoint(error).port();
  channel->allowedPeer_ = allowedPeer;
  channel->Accept();
  channel->ArmTimer();
  return channel;
}

std::shared_ptr<FtpDataChannel> FtpDataChannel::Connect(const asio::any_io_executor& io, const tcp::endpoint& target,
                                                        std::chrono::milliseconds timeout, Log log) {
  auto channel = std::make_shared<FtpDataChannel>(io, timeout, std::move(log));
  channel->target_ = target;
  return channel;
}

void FtpDataChannel::Accept() {
  acceptor_.async_accept(socket_, [self = shared_from_this()](std::error_code error) {
    if (self->closed_ || error) return;  // a failed accept is left to the time-out
    std::error_code ignored;
    const auto peer = Unmapped(self->socket_.remote_endpoint(ignored).address());
    if (peer != self->allowedPeer_) {
      // Only the client on the control connection may take the data connection (no theft).
      self->log_("refused data connection from " + peer.to_string());
      self->socket_.close(ignored);
      self->Accept();
      return;
    }
    self->connected_ = true;
    self->acceptor_.close(ignored);
    self->timer_.cancel();
    if (self->done_) self->Begin();
  });
}

void FtpDataChannel::ArmTimer() {
  timer_.expires_after(timeout_);
  timer_.async_wait([self = shared_from_this()](std::error_code error) {
    if (self->closed_ || error) return;
    self->log_(self->connected_ ? "data connection idle too long" : "data connection did not come in time");
    const auto kind = self->connected_ ? TransferResult::Kind::ConnectionLost : TransferResult::Kind::NoConnection;
    if (self->done_) {
      self->Finish(kind, asio::error::timed_out);
      return;
    }
    self->Close();  // a transfer started later finds the channel closed
  });
}

void FtpDataChannel::Receive(std::unique_ptr<UploadFile> file, Done done) {
  file_ = std::move(file);
  done_ = std::move(done);
  if (closed_) {
    // Never complete inside the call: the caller has yet to send its 150 reply.
    asio::post(io_, [self = shared_from_this()] { self->Finish(TransferResult::Kind::NoConnection, {}); });
    return;
  }
  if (connected_) {
    Begin();
    return;
  }
  if (!target_) return;  // the pending accept begins the transfer
  ArmTimer();
  socket_.async_connect(*target_, [self = shared_from_this()](std::error_code error) {
    if (self->closed_) return;
    if (error) {
      self->log_("data connection to " + self->target_->address().to_string() + " failed: " + error.message());
      self->Finish(TransferResult::Kind::NoConnection, error);
      return;
    }
    self->connected_ = true;
    self->Begin();
  });
}

void FtpDataChannel::Send(std::string bytes, Done done) {
  outgoing_ = std::move(bytes);
  Receive(nullptr, std::move(done));
}

void FtpDataChannel::Begin() {
  ArmTimer();
  if (file_) {
    ReadSome();
    return;
  }
  WriteAll();
}

void FtpDataChannel::ReadSome() {
  socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](std::error_code error, size_t count) {
    if (self->closed_) return;
    if (count > 0) {
      if (const auto stored = self->file_->Write({self->buffer_.data(), count})) {
        self->Finish(TransferResult::Kind::StoreFailed, stored);
        return;
      }
      self->bytes_ += count;
      self->ArmTimer();
    }
    if (error == asio::error::eof) {
      self->Finish(TransferResult::Kind::Complete, {});
      return;
    }
    if (error) {
      self->Finish(TransferResult::Kind::ConnectionLost, error);
      return;
    }
    self->ReadSome();
  });
}

void FtpDataChannel::WriteAll() {
  asio::async_write(socket_, asio::buffer(outgoing_), [self = shared_from_this()](std::error_code error, size_t count) {
    if (self->closed_) return;
    self->bytes_ = count;
    if (error) {
      self->Finish(TransferResult::Kind::ConnectionLost, error);
      return;
    }
    std::error_code ignored;
    self->socket_.shutdown(tcp::socket::shutdown_send, ignored);
    self->Finish(TransferResult::Kind::Complete, {});
  });
}

void FtpDataChannel::Finish(TransferResult::Kind kind, std::error_code error) {
  if (!done_) return;
  TransferResult result{kind, error, bytes_, kind == TransferResult::Kind::Complete ? std::move(file_) : nullptr};
  Done done = std::move(done_);
  Close();
  done(std::move(result));
}

void FtpDataChannel::Close() {
  closed_ = true;
  done_ = nullptr;
  file_.reset();  // an unfinished upload leaves nothing behind
  std::error_code ignored;
  acceptor_.close(ignored);
  socket_.close(ignored);
  timer_.cancel();
}

}  // namespace ftpserv
