#include "FtpUploader.h"

namespace bench {

FtpUploader::FtpUploader(uint16_t port, const std::string& user, const std::string& password)
    : control_("127.0.0.1", port) {
  if (control_.greeting() != 220) {
    error_ = "no greeting from port " + std::to_string(port);
  } else if (!control_.Login(user, password)) {
    error_ = "login as " + user + " refused";
  } else if (const int code = control_.Command("TYPE I"); code != 200) {
    error_ = "TYPE I: " + std::to_string(code);
  }
}

std::optional<FtpUploader::Clock::time_point> FtpUploader::Store(const std::string& remotePath,
                                                                 std::string_view bytes) {
  if (!error_.empty()) return std::nullopt;
  const uint16_t dataPort = control_.Passive();
  if (dataPort == 0) return Fail("EPSV", 0);
  test_support::DataConnection data("127.0.0.1", dataPort);
  if (!data.IsConnected()) return Fail("data connection", 0);
  if (const int code = control_.Command("STOR " + remotePath); code != 150 && code != 125) return Fail("STOR", code);
  data.Send(bytes);
  data.Close();
  if (const int code = control_.ReadReply(); code != 226) return Fail("end of STOR", code);
  return Clock::now();
}

std::optional<FtpUploader::Clock::time_point> FtpUploader::Fail(const std::string& what, int code) {
  error_ = what + " failed" + (code != 0 ? " (" + std::to_string(code) + ")" : std::string());
  return std::nullopt;
}

}  // namespace bench
