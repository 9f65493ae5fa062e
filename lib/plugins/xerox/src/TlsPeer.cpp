#include "TlsPeer.h"

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <curl/curl.h>

#include <mutex>

namespace xerox {

namespace {

int PeerIndex() {
  static int index = -1;
  static std::once_flag once;
  std::call_once(once, [] { index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr); });
  return index;
}

std::string Fingerprint(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "sha256:";
  for (unsigned int i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0x0F];
  }
  return text;
}

// Called for every certificate of the chain; only the device's own (depth 0) decides.
int VerifyPeer(int /*preverified*/, X509_STORE_CTX* store) {
  if (X509_STORE_CTX_get_error_depth(store) != 0) return 1;
  auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* peer = ssl ? static_cast<TlsPeer*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), PeerIndex())) : nullptr;
  if (!peer) return 0;
  peer->seen = Fingerprint(X509_STORE_CTX_get_current_cert(store));
  if (peer->seen.empty()) return 0;
  if (!peer->expected.empty() && peer->expected != peer->seen) {
    peer->mismatch = true;
    return 0;
  }
  return 1;
}

}  // namespace

int InstallPeerCheck(void* /*curl*/, void* sslContext, void* peer) {
  auto* context = static_cast<SSL_CTX*>(sslContext);
  if (PeerIndex() < 0 || SSL_CTX_set_ex_data(context, PeerIndex(), peer) != 1) return CURLE_SSL_CERTPROBLEM;
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, VerifyPeer);
  return CURLE_OK;
}

}  // namespace xerox
