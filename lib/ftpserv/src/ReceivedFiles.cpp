#include "ReceivedFiles.h"

#include <algorithm>

namespace ftpserv {

void ReceivedFiles::Add(const std::string& path) {
  const std::lock_guard lock(mutex_);
  if (std::find(files_.begin(), files_.end(), path) == files_.end()) files_.push_back(path);
}

void ReceivedFiles::TakeInto(std::vector<std::string>& list) {
  const std::lock_guard lock(mutex_);
  list.insert(list.end(), files_.begin(), files_.end());
  files_.clear();
}

}  // namespace ftpserv
