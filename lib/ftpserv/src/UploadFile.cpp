#include "UploadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

namespace ftpserv {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

}  // namespace

std::unique_ptr<UploadFile> UploadFile::Create(const std::filesystem::path& target, bool append,
                                               std::error_code& error) {
  // Hidden, so that nothing that lists the folder takes it for a scan.
  std::string pattern = (target.parent_path() / ".upload-XXXXXX").string();
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    error = LastError();
    return nullptr;
  }
  fchmod(fd, 0644);
  auto file = std::make_unique<UploadFile>(Key(), target, pattern, fd);
  if (append) {
    error = file->CopyFrom(target);
    if (error) return nullptr;
  }
  error.clear();
  return file;
}

UploadFile::UploadFile(Key, std::filesystem::path target, std::filesystem::path temporary, int fd)
    : target_(std::move(target)), temporary_(std::move(temporary)), fd_(fd) {}

UploadFile::~UploadFile() {
  if (fd_ >= 0) close(fd_);
  if (!committed_) unlink(temporary_.c_str());
}

std::error_code UploadFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return {};
}

std::error_code UploadFile::CopyFrom(const std::filesystem::path& source) {
  // O_NOFOLLOW: APPE to a symlink must not read whatever it points at.
  const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (in < 0) return errno == ENOENT ? std::error_code() : LastError();
  std::array<char, 65536> buffer;
  std::error_code error;
  for (;;) {
    const ssize_t count = read(in, buffer.data(), buffer.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) error = LastError();
    if (count <= 0) break;
    error = Write({buffer.data(), static_cast<size_t>(count)});
    if (error) break;
  }
  close(in);
  return error;
}

std::error_code UploadFile::Commit() {
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) return LastError();
  // rename replaces a symlink at the target instead of writing through it.
  if (rename(temporary_.c_str(), target_.c_str()) != 0) return LastError();
  committed_ = true;
  return {};
}

}  // namespace ftpserv
