#pragma once

#include <asio/ip/address.hpp>
#include <memory>
#include <string>

#include "connectors/CFtpServer.h"
#include "Addresses.h"
#include "RootFolder.h"

namespace ftpserv {

// What a running service was started with; shared read-only by its connections.
struct FtpServiceConfig {
  RootFolder root;
  std::string user;
  std::string password;
  FtpServerLimits limits;
};

// The state of one control connection that commands read and change.
struct FtpSessionState {
  asio::ip::address peer;   // the client, IPv4 when it came over IPv4 (mapped addresses unwrapped)
  asio::ip::address local;  // our end of the control connection, unwrapped the same way
  std::string user;         // as given by USER, until PASS
  bool userGiven = false;
  bool loggedIn = false;
  int failedLogins = 0;
  std::string cwd = "/";
  bool extendedPassiveOnly = false;  // after EPSV ALL
};

}  // namespace ftpserv
