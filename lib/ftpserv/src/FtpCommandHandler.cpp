#include "FtpCommandHandler.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <vector>

#include "DirectoryListing.h"
#include "FtpDataLink.h"
#include "UploadFile.h"
#include "platform/SystemInfo.h"

namespace ftpserv {
namespace {

// Ports below this belong to system services; a data connection never goes there.
constexpr unsigned kLowestActivePort = 1024;

// Takes as long for every secret of a given attempt, so timing tells nothing about the secret.
bool SameSecret(const std::string& attempt, const std::string& secret) {
  size_t difference = attempt.size() ^ secret.size();
  for (size_t i = 0; i < attempt.size(); ++i) {
    const char expected = secret.empty() ? '\0' : secret[i % secret.size()];
    difference |= static_cast<unsigned char>(attempt[i] ^ expected);
  }
  return difference == 0;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(toupper(c)); });
  return text;
}

// A decimal number of at most maxDigits digits no larger than maxValue; the whole text must be it.
std::optional<unsigned> ParseNumber(std::string_view text, size_t maxDigits, unsigned maxValue) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > maxValue) return std::nullopt;
  return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

FtpOutcome Reply(int code, std::string text) { return {FtpReply(code, std::move(text))}; }

}  // namespace

struct FtpCommandHandler::Entry {
  const char* verb;
  bool needsLogin;
  FtpOutcome (FtpCommandHandler::*run)(const std::string&);
};

const FtpCommandHandler::Entry* FtpCommandHandler::Find(const std::string& verb) {
  static constexpr std::array<Entry, 37> kCommands = {{
      {"USER", false, &FtpCommandHandler::User}, {"PASS", false, &FtpCommandHandler::Pass},
      {"SYST", false, &FtpCommandHandler::Syst}, {"FEAT", false, &FtpCommandHandler::Feat},
      {"OPTS", false, &FtpCommandHandler::Opts}, {"NOOP", false, &FtpCommandHandler::Noop},
      {"QUIT", false, &FtpCommandHandler::Quit}, {"PWD", true, &FtpCommandHandler::Pwd},
      {"XPWD", true, &FtpCommandHandler::Pwd},   {"CWD", true, &FtpCommandHandler::Cwd},
      {"XCWD", true, &FtpCommandHandler::Cwd},   {"CDUP", true, &FtpCommandHandler::Cdup},
      {"XCUP", true, &FtpCommandHandler::Cdup},  {"MKD", true, &FtpCommandHandler::Mkd},
      {"XMKD", true, &FtpCommandHandler::Mkd},   {"RMD", true, &FtpCommandHandler::Rmd},
      {"XRMD", true, &FtpCommandHandler::Rmd},   {"TYPE", true, &FtpCommandHandler::Type},
      {"MODE", true, &FtpCommandHandler::Mode},  {"STRU", true, &FtpCommandHandler::Stru},
      {"PASV", true, &FtpCommandHandler::Pasv},  {"EPSV", true, &FtpCommandHandler::Epsv},
      {"PORT", true, &FtpCommandHandler::Port},  {"EPRT", true, &FtpCommandHandler::Eprt},
      {"STOR", true, &FtpCommandHandler::Stor},  {"STOU", true, &FtpCommandHandler::Stou},
      {"APPE", true, &FtpCommandHandler::Appe},  {"LIST", true, &FtpCommandHandler::List},
      {"NLST", true, &FtpCommandHandler::Nlst},  {"SIZE", true, &FtpCommandHandler::Size},
      {"MDTM", true, &FtpCommandHandler::Mdtm},  {"DELE", true, &FtpCommandHandler::Dele},
      {"REST", true, &FtpCommandHandler::Rest},  {"ALLO", true, &FtpCommandHandler::Allo},
      {"ABOR", true, &FtpCommandHandler::Abor},  {"XMD5", true, nullptr},
      {"RETR", true, nullptr},
  }};
  const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                  [&](const Entry& entry) { return verb == entry.verb; });
  return found == kCommands.end() ? nullptr : &*found;
}

FtpCommandHandler::FtpCommandHandler(const FtpServiceConfig& config, FtpSessionState& state, FtpDataLink& link,
                                     Log log)
    : config_(config), state_(state), link_(link), log_(std::move(log)) {}

FtpOutcome FtpCommandHandler::Handle(const FtpCommand& command) {
  const Entry* entry = Find(command.verb);
  if (entry == nullptr) return Reply(500, "Unknown command.");
  if (entry->needsLogin && !state_.loggedIn) return Reply(530, "Please login with USER and PASS.");
  if (entry->run == nullptr) return Reply(502, "Command not implemented.");
  return (this->*entry->run)(command.argument);
}

std::optional<ResolvedPath> FtpCommandHandler::Resolve(const std::string& argument) const {
  return config_.root.Resolve(state_.cwd, argument);
}

FtpOutcome FtpCommandHandler::Refuse(const std::string& what, const std::string& argument) {
  log_("refused " + what + " \"" + argument + "\": outside the root folder or not a valid name");
  return Reply(550, "Permission denied.");
}

FtpOutcome FtpCommandHandler::User(const std::string& argument) {
  if (state_.loggedIn) return Reply(530, "Can't change to another user.");
  if (argument.empty()) return Reply(501, "USER needs a user name.");
  state_.user = argument;
  state_.userGiven = true;
  return Reply(331, "Please specify the password.");
}

FtpOutcome FtpCommandHandler::Pass(const std::string& argument) {
  if (state_.loggedIn) return Reply(230, "Already logged in.");
  if (!state_.userGiven) return Reply(503, "Login with USER first.");
  state_.userGiven = false;
  // Both are compared whatever the first gives, so the time taken does not tell which was wrong.
  const bool userMatches = SameSecret(state_.user, config_.user);
  const bool passwordMatches = SameSecret(argument, config_.password);
  if (userMatches && passwordMatches) {
    state_.loggedIn = true;
    log_("user " + state_.user + " logged in");
    return Reply(230, "Login successful.");
  }
  ++state_.failedLogins;
  log_("failed login as " + state_.user + " (attempt " + std::to_string(state_.failedLogins) + ")");
  FtpOutcome outcome{FtpReply(530, "Login incorrect."), config_.limits.failedLoginDelay};
  if (state_.failedLogins >= config_.limits.maxFailedLogins) {
    log_("too many failed logins, closing the connection");
    outcome.closeSession = true;
  }
  return outcome;
}

FtpOutcome FtpCommandHandler::Syst(const std::string&) { return Reply(215, "UNIX Type: L8"); }

FtpOutcome FtpCommandHandler::Feat(const std::string&) {
  return {FtpReply(211, {"Features:", "EPRT", "EPSV", "MDTM", "PASV", "REST STREAM", "SIZE", "UTF8", "End"})};
}

FtpOutcome FtpCommandHandler::Opts(const std::string& argument) {
  const std::string option = Upper(argument);
  if (option == "UTF8" || option == "UTF8 ON") return Reply(200, "Always in UTF8 mode.");
  return Reply(501, "Option not understood.");
}

FtpOutcome FtpCommandHandler::Noop(const std::string&) { return Reply(200, "NOOP ok."); }

FtpOutcome FtpCommandHandler::Quit(const std::string&) {
  link_.AbortTransfer();
  return {FtpReply(221, "Goodbye."), {}, true};
}

FtpOutcome FtpCommandHandler::Pwd(const std::string&) {
  return Reply(257, QuotePath(state_.cwd) + " is the current directory");
}

FtpOutcome FtpCommandHandler::Cwd(const std::string& argument) {
  const auto path = Resolve(argument);
  if (!path) return Refuse("CWD", argument);
  std::error_code error;
  if (!std::filesystem::is_directory(path->diskPath, error)) return Reply(550, "Failed to change directory.");
  state_.cwd = path->virtualPath;
  return Reply(250, "Directory successfully changed.");
}

FtpOutcome FtpCommandHandler::Cdup(const std::string&) {
  FtpOutcome outcome = Cwd("..");
  if (outcome.reply.code == 250) outcome.reply.code = 200;
  return outcome;
}

FtpOutcome FtpCommandHandler::Mkd(const std::string& argument) {
  if (argument.empty()) return Reply(501, "MKD needs a folder name.");
  const auto path = Resolve(argument);
  if (!path) return Refuse("MKD", argument);
  if (mkdir(path->diskPath.c_str(), 0755) != 0) {
    log_("MKD " + path->virtualPath + " failed: " + platform::SystemErrorText(errno));
    return Reply(550, "Create directory operation failed.");
  }
  log_("created folder " + path->virtualPath);
  return Reply(257, QuotePath(path->virtualPath) + " created");
}

FtpOutcome FtpCommandHandler::Rmd(const std::string& argument) {
  if (argument.empty()) return Reply(501, "RMD needs a folder name.");
  const auto path = Resolve(argument);
  if (!path) return Refuse("RMD", argument);
  if (path->virtualPath == "/" || rmdir(path->diskPath.c_str()) != 0)
    return Reply(550, "Remove directory operation failed.");
  log_("removed folder " + path->virtualPath);
  return Reply(250, "Remove directory operation successful.");
}

FtpOutcome FtpCommandHandler::Dele(const std::string& argument) {
  if (argument.empty()) return Reply(501, "DELE needs a file name.");
  const auto path = Resolve(argument);
  if (!path) return Refuse("DELE", argument);
  struct stat info {};
  if (lstat(path->diskPath.c_str(), &info) != 0 || S_ISDIR(info.st_mode) || unlink(path->diskPath.c_str()) != 0)
    return Reply(550, "Delete operation failed.");
  log_("deleted " + path->virtualPath);
  return Reply(250, "Delete operation successful.");
}

FtpOutcome FtpCommandHandler::Type(const std::string& argument) {
  const std::string type = Upper(argument);
  if (type.empty()) return Reply(501, "TYPE needs a type.");
  // Uploads are stored as sent in either type, as scans always travel as images.
  if (type == "I" || type == "L 8") {
    return Reply(200, "Switching to Binary mode.");
  }
  if (type == "A" || type == "A N") {
    return Reply(200, "Switching to ASCII mode.");
  }
  return Reply(504, "TYPE " + argument + " not supported.");
}

FtpOutcome FtpCommandHandler::Mode(const std::string& argument) {
  if (argument.empty()) return Reply(501, "MODE needs a mode.");
  if (Upper(argument) == "S") return Reply(200, "Mode set to S.");
  return Reply(504, "Only stream mode is supported.");
}

FtpOutcome FtpCommandHandler::Stru(const std::string& argument) {
  if (argument.empty()) return Reply(501, "STRU needs a structure.");
  if (Upper(argument) == "F") return Reply(200, "Structure set to F.");
  return Reply(504, "Only file structure is supported.");
}

FtpOutcome FtpCommandHandler::Rest(const std::string& argument) {
  const auto offset = ParseNumber(argument, 20, ~0u);
  if (!offset) return Reply(501, "REST needs a number.");
  if (*offset != 0) return Reply(504, "Only REST 0 is supported.");
  return Reply(350, "Restart position accepted (0).");
}

FtpOutcome FtpCommandHandler::Allo(const std::string&) { return Reply(202, "ALLO not needed."); }

FtpOutcome FtpCommandHandler::Abor(const std::string&) {
  if (link_.AbortTransfer()) return Reply(226, "Abort successful.");
  return Reply(225, "No transfer to abort.");
}

FtpOutcome FtpCommandHandler::Pasv(const std::string&) {
  if (state_.extendedPassiveOnly) return Reply(503, "Only EPSV after EPSV ALL.");
  if (!state_.local.is_v4()) return Reply(501, "PASV needs an IPv4 connection; use EPSV.");
  const auto port = link_.ListenPassive();
  if (!port) return Reply(425, "Can't open passive connection.");
  const auto bytes = state_.local.to_v4().to_bytes();
  std::string address;
  for (const auto byte : bytes) address += std::to_string(byte) + ",";
  return Reply(227, "Entering Passive Mode (" + address + std::to_string(*port >> 8) + "," +
                        std::to_string(*port & 0xff) + ").");
}

FtpOutcome FtpCommandHandler::Epsv(const std::string& argument) {
  const std::string ownProtocol = state_.local.is_v4() ? "1" : "2";
  if (Upper(argument) == "ALL") {
    state_.extendedPassiveOnly = true;
    return Reply(200, "EPSV ALL ok.");
  }
  if (!argument.empty() && argument != "1" && argument != "2") return Reply(501, "Unknown network protocol.");
  if (!argument.empty() && argument != ownProtocol)
    return Reply(522, "Network protocol not supported, use (" + ownProtocol + ")");
  const auto port = link_.ListenPassive();
  if (!port) return Reply(425, "Can't open passive connection.");
  return Reply(229, "Entering Extended Passive Mode (|||" + std::to_string(*port) + "|)");
}

FtpOutcome FtpCommandHandler::Port(const std::string& argument) {
  if (state_.extendedPassiveOnly) return Reply(503, "Only EPSV after EPSV ALL.");
  const auto parts = Split(argument, ',');
  if (parts.size() != 6) return Reply(501, "Syntax: PORT h1,h2,h3,h4,p1,p2.");
  std::array<unsigned, 6> numbers{};
  for (size_t i = 0; i < parts.size(); ++i) {
    const auto number = ParseNumber(parts[i], 3, 255);
    if (!number) return Reply(501, "Syntax: PORT h1,h2,h3,h4,p1,p2.");
    numbers[i] = *number;
  }
  const asio::ip::address_v4 address({static_cast<unsigned char>(numbers[0]), static_cast<unsigned char>(numbers[1]),
                                      static_cast<unsigned char>(numbers[2]), static_cast<unsigned char>(numbers[3])});
  return UseActive(address, numbers[4] * 256 + numbers[5], "PORT");
}

FtpOutcome FtpCommandHandler::Eprt(const std::string& argument) {
  if (state_.extendedPassiveOnly) return Reply(503, "Only EPSV after EPSV ALL.");
  const std::string ownProtocol = state_.local.is_v4() ? "1" : "2";
  if (argument.size() < 2) return Reply(501, "Syntax: EPRT |protocol|address|port|.");
  const auto parts = Split(argument, argument.front());
  if (parts.size() != 5 || !parts[0].empty() || !parts[4].empty()) return Reply(501, "Syntax: EPRT |protocol|address|port|.");
  // The data connection uses the control connection's protocol, as PASV and EPSV do.
  if (parts[1] != ownProtocol) return Reply(522, "Network protocol not supported, use (" + ownProtocol + ")");
  std::error_code error;
  const auto address = asio::ip::make_address(std::string(parts[2]), error);
  const auto port = ParseNumber(parts[3], 5, 65535);
  if (error || !port || address.is_v4() != state_.local.is_v4()) return Reply(501, "Syntax: EPRT |protocol|address|port|.");
  return UseActive(address, *port, "EPRT");
}

// Data connections go only to the client's own address (no bounce to a third host) and never to
// a system port.
FtpOutcome FtpCommandHandler::UseActive(const asio::ip::address& address, unsigned port, const char* command) {
  if (Unmapped(address) != state_.peer || port < kLowestActivePort) {
    log_(std::string("refused ") + command + " to " + address.to_string() + " port " + std::to_string(port));
    return Reply(500, std::string("Illegal ") + command + " command: only to your own address.");
  }
  link_.ConnectActive({address, static_cast<uint16_t>(port)});
  return Reply(200, std::string(command) + " command successful. Consider using EPSV.");
}

FtpOutcome FtpCommandHandler::Stor(const std::string& argument) { return Upload(argument, /*append=*/false); }

FtpOutcome FtpCommandHandler::Appe(const std::string& argument) { return Upload(argument, /*append=*/true); }

FtpOutcome FtpCommandHandler::Upload(const std::string& argument, bool append) {
  if (argument.empty()) return Reply(501, "A file name is needed.");
  const auto path = Resolve(argument);
  if (!path || path->virtualPath == "/") return Refuse(append ? "APPE" : "STOR", argument);
  return StartUpload(*path, append, FtpReply(150, "Ok to send data."));
}

FtpOutcome FtpCommandHandler::Stou(const std::string& argument) {
  const std::string base = argument.empty() ? "upload" : argument;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string name = attempt == 0 ? base : base + "." + std::to_string(attempt);
    const auto path = Resolve(name);
    if (!path || path->virtualPath == "/") return Refuse("STOU", argument);
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(path->diskPath, error))) continue;
    return StartUpload(*path, /*append=*/false, FtpReply(150, "FILE: " + path->diskPath.filename().string()));
  }
  return Reply(553, "Could not find a unique file name.");
}

FtpOutcome FtpCommandHandler::StartUpload(const ResolvedPath& path, bool append, FtpReply started) {
  std::error_code error;
  if (std::filesystem::is_directory(path.diskPath, error)) return Reply(550, "That is a folder.");
  if (!link_.HasDataSetup()) return Reply(425, "Use PORT, PASV or EPSV first.");
  auto file = UploadFile::Create(path.diskPath, append, error);
  if (!file) {
    log_("cannot store " + path.virtualPath + ": " + error.message());
    if (IsNoSpace(error.value())) return Reply(452, "Insufficient storage space.");
    return Reply(553, "Could not create file.");
  }
  link_.Receive(std::move(file), path.virtualPath);
  return {std::move(started)};
}

FtpOutcome FtpCommandHandler::List(const std::string& argument) { return Listing(argument, /*namesOnly=*/false); }

FtpOutcome FtpCommandHandler::Nlst(const std::string& argument) { return Listing(argument, /*namesOnly=*/true); }

FtpOutcome FtpCommandHandler::Listing(const std::string& argument, bool namesOnly) {
  // Clients pass ls options ("-la"); they choose nothing here.
  std::string target = argument;
  if (!target.empty() && target.front() == '-') {
    const size_t space = target.find(' ');
    target = space == std::string::npos ? std::string() : target.substr(space + 1);
  }
  const auto path = Resolve(target);
  if (!path) return Refuse(namesOnly ? "NLST" : "LIST", argument);
  if (!link_.HasDataSetup()) return Reply(425, "Use PORT, PASV or EPSV first.");
  auto listing = ListPath(path->diskPath, namesOnly ? ListingStyle::NamesOnly : ListingStyle::Long);
  if (!listing) return Reply(550, "Could not list " + path->virtualPath + ".");
  link_.Send(std::move(*listing));
  return Reply(150, "Here comes the directory listing.");
}

FtpOutcome FtpCommandHandler::Size(const std::string& argument) {
  const auto path = Resolve(argument);
  if (!path) return Refuse("SIZE", argument);
  struct stat info {};
  if (stat(path->diskPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return Reply(550, "Could not get file size.");
  return Reply(213, std::to_string(info.st_size));
}

FtpOutcome FtpCommandHandler::Mdtm(const std::string& argument) {
  const auto path = Resolve(argument);
  if (!path) return Refuse("MDTM", argument);
  struct stat info {};
  if (stat(path->diskPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return Reply(550, "Could not get file modification time.");
  std::tm utc{};
  gmtime_r(&info.st_mtime, &utc);
  std::array<char, 32> text{};
  strftime(text.data(), text.size(), "%Y%m%d%H%M%S", &utc);
  return Reply(213, text.data());
}

}  // namespace ftpserv
