#pragma once

#include <string>
#include <vector>

namespace platform {

// The IPv4 addresses (dotted form) that the host name resolves to, in resolver order;
// empty when it does not resolve.
std::vector<std::string> ResolveHostIPv4(const std::string& hostName);

// The IPv4 addresses of this machine's interfaces that are up and not loopback, in interface
// order.
std::vector<std::string> InterfaceIPv4Addresses();

// Whether a dotted IPv4 address lies in 127.0.0.0/8.
bool IsLoopbackIPv4(const std::string& address);

}  // namespace platform
