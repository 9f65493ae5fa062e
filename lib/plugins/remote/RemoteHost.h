#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sanenet {

inline constexpr uint16_t kDefaultServicePort = 6566;

struct HostAndPort {
  std::string host;
  uint16_t port = kDefaultServicePort;
};

// "host", "host:port", "[v6 address]" or "[v6 address]:port"; a bare IPv6 address (more than
// one colon, no brackets) is taken whole. Blanks around the text are ignored. nullopt for an
// empty host or a port that is not 1 to 65535.
std::optional<HostAndPort> ParseRemoteHost(const std::string& text);

}  // namespace sanenet
