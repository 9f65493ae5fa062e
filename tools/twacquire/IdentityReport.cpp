#include "IdentityReport.h"

#include <string>

namespace twacquire {

namespace {

// The TW_STR32 fields are terminated within their 34 bytes only by convention.
template <std::size_t N>
std::string Text(const char (&field)[N]) {
  std::size_t length = 0;
  while (length < N && field[length] != '\0') ++length;
  return std::string(field, length);
}

std::string GroupNames(TW_UINT32 groups) {
  std::string names;
  const auto add = [&names](const char* name) { names += names.empty() ? name : std::string(", ") + name; };
  if (groups & DG_CONTROL) add("control");
  if (groups & DG_IMAGE) add("image");
  if (groups & DG_AUDIO) add("audio");
  if (groups & DF_DS2) add("2.x source");
  return names;
}

}  // namespace

void PrintIdentity(std::ostream& out, const TW_IDENTITY& identity) {
  out << "Product name:     " << Text(identity.ProductName) << '\n'
      << "Product family:   " << Text(identity.ProductFamily) << '\n'
      << "Manufacturer:     " << Text(identity.Manufacturer) << '\n'
      << "Version:          " << identity.Version.MajorNum << '.' << identity.Version.MinorNum << " ("
      << Text(identity.Version.Info) << ")\n"
      << "Protocol:         " << identity.ProtocolMajor << '.' << identity.ProtocolMinor << '\n'
      << "Supported groups: " << GroupNames(identity.SupportedGroups) << '\n'
      << "Id:               " << identity.Id << '\n';
}

}  // namespace twacquire
