#include "twain/transfers/FileTransferName.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "platform/FileSystem.h"

namespace {

constexpr std::size_t kMaxNameLength = sizeof(TW_STR255) - 1;

}  // namespace

std::string FileNameOf(const TW_SETUPFILEXFER& setup) {
  return std::string(setup.FileName, strnlen(setup.FileName, kMaxNameLength));
}

void DescribeFileTransfer(const std::string& name, TW_SETUPFILEXFER& setup) {
  const std::size_t length = std::min(name.size(), kMaxNameLength);
  std::memcpy(setup.FileName, name.data(), length);
  setup.FileName[length] = '\0';
  setup.Format = TWFF_BMP;
  setup.VRefNum = 0;
}

bool EnsureFileExists(const std::string& path) {
  if (path.empty()) return false;
  if (platform::RegularFileExists(path)) return true;
  if (platform::PathExists(path)) return false;
  // Append mode: should the file appear meanwhile, nothing of it is lost.
  std::ofstream created(path, std::ios::binary | std::ios::app);
  return created.is_open() && platform::RegularFileExists(path);
}
