#pragma once

#include <filesystem>
#include <string>

namespace ftpserv {

// What connections report to their service. Called on the network thread; implementations hand
// the work to another thread and return at once.
class FtpServiceEvents {
 public:
  virtual ~FtpServiceEvents() = default;
  virtual void Log(const std::string& line) = 0;
  // An upload has been put in place under its final name.
  virtual void Stored(const std::filesystem::path& file) = 0;
};

}  // namespace ftpserv
