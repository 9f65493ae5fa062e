#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "FtpCommandParser.h"
#include "FtpReply.h"
#include "FtpSessionState.h"

namespace ftpserv {

class FtpDataLink;

// What the control connection does after a command.
struct FtpOutcome {
  FtpReply reply;
  std::chrono::milliseconds delay{0};  // before the reply goes out and the next command is read
  bool closeSession = false;           // after the reply has been sent
};

// Turns one command into its reply and its effect on the session and the disk. No sockets: the
// data connection's work goes through the link. One handler per control connection, used on
// the network thread only.
class FtpCommandHandler {
 public:
  using Log = std::function<void(const std::string&)>;

  FtpCommandHandler(const FtpServiceConfig& config, FtpSessionState& state, FtpDataLink& link, Log log);

  FtpOutcome Handle(const FtpCommand& command);

 private:
  struct Entry;
  static const Entry* Find(const std::string& verb);

  FtpOutcome User(const std::string& argument);
  FtpOutcome Pass(const std::string& argument);
  FtpOutcome Syst(const std::string& argument);
  FtpOutcome Feat(const std::string& argument);
  FtpOutcome Opts(const std::string& argument);
  FtpOutcome Pwd(const std::string& argument);
  FtpOutcome Cwd(const std::string& argument);
  FtpOutcome Cdup(const std::string& argument);
  FtpOutcome Mkd(const std::string& argument);
  FtpOutcome Rmd(const std::string& argument);
  FtpOutcome Type(const std::string& argument);
  FtpOutcome Mode(const std::string& argument);
  FtpOutcome Stru(const std::string& argument);
  FtpOutcome Pasv(const std::string& argument);
  FtpOutcome Epsv(const std::string& argument);
  FtpOutcome Port(const std::string& argument);
  FtpOutcome Eprt(const std::string& argument);
  FtpOutcome Stor(const std::string& argument);
  FtpOutcome Stou(const std::string& argument);
  FtpOutcome Appe(const std::string& argument);
  FtpOutcome List(const std::string& argument);
  FtpOutcome Nlst(const std::string& argument);
  FtpOutcome Size(const std::string& argument);
  FtpOutcome Mdtm(const std::string& argument);
  FtpOutcome Dele(const std::string& argument);
  FtpOutcome Rest(const std::string& argument);
  FtpOutcome Allo(const std::string& argument);
  FtpOutcome Noop(const std::string& argument);
  FtpOutcome Quit(const std::string& argument);
  FtpOutcome Abor(const std::string& argument);

  std::optional<ResolvedPath> Resolve(const std::string& argument) const;
  FtpOutcome Refuse(const std::string& what, const std::string& argument);
  FtpOutcome Upload(const std::string& argument, bool append);
  FtpOutcome StartUpload(const ResolvedPath& path, bool append, FtpReply started);
  FtpOutcome Listing(const std::string& argument, bool namesOnly);
  FtpOutcome UseActive(const asio::ip::address& address, unsigned port, const char* command);

  const FtpServiceConfig& config_;
  FtpSessionState& state_;
  FtpDataLink& link_;
  Log log_;
};

}  // namespace ftpserv
