#pragma once

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace ftpserv {

// Whether a failed write means the disk (or the user's quota) is full: 452, not a local error.
inline bool IsNoSpace(int error) { return error == ENOSPC || error == EDQUOT; }

// One upload in progress. The bytes go to a hidden temporary file beside the target, which only
// Commit renames to the target; an upload that never commits (client gone, ABOR, time-out, disk
// full) leaves nothing behind, because the destructor removes the temporary file.
class UploadFile {
 public:
  // With append, the target's current content (if any) comes first.
  static std::unique_ptr<UploadFile> Create(const std::filesystem::path& target, bool append, std::error_code& error);
  // Only Create can make the key.
  class Key {
    friend class UploadFile;
    Key() = default;
  };
  UploadFile(Key, std::filesystem::path target, std::filesystem::path temporary, int fd);
  UploadFile(const UploadFile&) = delete;
  UploadFile& operator=(const UploadFile&) = delete;
  ~UploadFile();

  std::error_code Write(std::string_view bytes);
  // Closes the file and puts it in place of the target.
  std::error_code Commit();
  const std::filesystem::path& target() const { return target_; }

 private:
  std::error_code CopyFrom(const std::filesystem::path& source);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  int fd_;
  bool committed_ = false;
};

}  // namespace ftpserv
