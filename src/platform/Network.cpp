#include "platform/Network.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

namespace platform {
namespace {

std::string DottedForm(const in_addr& address) {
  char text[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, &address, text, sizeof(text)) == nullptr) return {};
  return text;
}

void AddOnce(std::vector<std::string>& list, std::string address) {
  if (address.empty()) return;
  if (std::find(list.begin(), list.end(), address) == list.end()) list.push_back(std::move(address));
}

}  // namespace

std::vector<std::string> ResolveHostIPv4(const std::string& hostName) {
  std::vector<std::string> addresses;
  if (hostName.empty()) return addresses;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(hostName.c_str(), nullptr, &hints, &result) != 0) return addresses;
  for (const addrinfo* entry = result; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
    AddOnce(addresses, DottedForm(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr));
  }
  freeaddrinfo(result);
  return addresses;
}

std::vector<std::string> InterfaceIPv4Addresses() {
  std::vector<std::string> addresses;
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return addresses;
  for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    std::string address = DottedForm(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr);
    if (IsLoopbackIPv4(address)) continue;
    AddOnce(addresses, std::move(address));
  }
  freeifaddrs(interfaces);
  return addresses;
}

bool IsLoopbackIPv4(const std::string& address) { return address.rfind("127.", 0) == 0; }

}  // namespace platform
