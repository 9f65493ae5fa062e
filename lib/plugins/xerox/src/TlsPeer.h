#pragma once

#include <string>

namespace xerox {

// The device's certificate as one TLS handshake meets it, checked against the pinned one while
// the handshake runs, so that nothing is sent to a device whose certificate changed.
// Chain and host name are not verified: devices carry self-signed certificates for addresses
// that are not in them, and the pin is what ties the certificate to the device.
struct TlsPeer {
  std::string expected;  // the pinned fingerprint; empty at the first contact
  std::string seen;      // the fingerprint of the last handshake's certificate
  bool mismatch = false;

  void BeginHandshake(std::string pinned) {
    expected = std::move(pinned);
    mismatch = false;
  }
};

// libcurl's CURLOPT_SSL_CTX_FUNCTION for an OpenSSL context; `peer` is the TlsPeer.
int InstallPeerCheck(void* curl, void* sslContext, void* peer);

}  // namespace xerox
