#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ftpserv {

enum class ListingStyle {
  Long,       // LIST: one "ls -l" line per entry, which clients parse
  NamesOnly,  // NLST
};

// The listing of a folder (its entries sorted by name, hidden ones left out) or of one file, as
// CRLF-terminated lines; nothing when the path cannot be read. Symlinks are listed, not followed.
std::optional<std::string> ListPath(const std::filesystem::path& path, ListingStyle style);

}  // namespace ftpserv
