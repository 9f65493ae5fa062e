#pragma once

// One FTP session of a client that uploads page after page, as an MFP does: logged in once,
// binary type, a passive data connection per file. Measures when each upload's 226 arrives.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FtpTestClient.h"

namespace bench {

class FtpUploader {
 public:
  using Clock = std::chrono::steady_clock;

  FtpUploader(uint16_t port, const std::string& user, const std::string& password);

  // Empty when the session is logged in and ready, else what went wrong.
  const std::string& Error() const { return error_; }
  // Stores `bytes` as `remotePath`; the time the 226 reply arrived, nullopt (and Error()) on failure.
  std::optional<Clock::time_point> Store(const std::string& remotePath, std::string_view bytes);

 private:
  std::optional<Clock::time_point> Fail(const std::string& what, int code);

  test_support::FtpTestClient control_;
  std::string error_;
};

}  // namespace bench
