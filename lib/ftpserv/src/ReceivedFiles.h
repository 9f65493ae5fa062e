#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace ftpserv {

// Files stored since the last collection, in the order their uploads completed. Any thread.
class ReceivedFiles {
 public:
  // A file stored twice before the next collection is listed once, where it first completed.
  void Add(const std::string& path);
  // Appends the files to list and forgets them.
  void TakeInto(std::vector<std::string>& list);

 private:
  std::mutex mutex_;
  std::vector<std::string> files_;
};

}  // namespace ftpserv
