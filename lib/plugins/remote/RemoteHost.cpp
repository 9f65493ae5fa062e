#include "RemoteHost.h"

#include <charconv>

namespace sanenet {
namespace {

std::optional<uint16_t> ParsePort(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) return std::nullopt;
  return static_cast<uint16_t>(value);
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<HostAndPort> ParseRemoteHost(const std::string& input) {
  const std::string_view text = Trimmed(input);
  HostAndPort result;
  std::string_view portText;
  if (text.starts_with('[')) {
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    result.host = std::string(text.substr(1, close - 1));
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (!rest.starts_with(':')) return std::nullopt;
      portText = rest.substr(1);
      if (portText.empty()) return std::nullopt;
    }
  } else if (const auto colon = text.find(':'); colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
    result.host = std::string(text.substr(0, colon));
    portText = text.substr(colon + 1);
    if (portText.empty()) return std::nullopt;
  } else {
    result.host = std::string(text);
  }
  if (result.host.empty()) return std::nullopt;
  if (!portText.empty()) {
    const auto port = ParsePort(portText);
    if (!port) return std::nullopt;
    result.port = *port;
  }
  return result;
}

}  // namespace sanenet
