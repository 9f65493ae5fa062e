#pragma once

#include <asio/ip/address.hpp>

namespace ftpserv {

// An IPv4 client reaching a dual-stack socket shows up as ::ffff:a.b.c.d; compare it as a.b.c.d.
inline asio::ip::address Unmapped(const asio::ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  return address;
}

}  // namespace ftpserv
