#include "SoapClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>

#include "TlsPeer.h"
#include "connectors/XeroxCertificatePins.h"
#include "connectors/XeroxException.h"

namespace xerox {

namespace {

constexpr size_t kMaxAnswerBytes = 1 << 20;

CURL* Handle(void* curl) { return static_cast<CURL*>(curl); }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The host and the authority (host[:port]) of an https:// URL.
bool SplitUrl(const std::string& url, std::string& host, std::string& authority) {
  CURLU* parts = curl_url();
  if (!parts) return false;
  bool ok = curl_url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
  char* scheme = nullptr;
  char* hostPart = nullptr;
  char* port = nullptr;
  ok = ok && curl_url_get(parts, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && Lower(scheme) == "https" &&
       curl_url_get(parts, CURLUPART_HOST, &hostPart, 0) == CURLUE_OK && hostPart[0] != '\0';
  if (ok) {
    host = Lower(hostPart);
    authority = host;
    if (curl_url_get(parts, CURLUPART_PORT, &port, 0) == CURLUE_OK) authority += std::string(":") + port;
  }
  curl_free(scheme);
  curl_free(hostPart);
  curl_free(port);
  curl_url_cleanup(parts);
  return ok;
}

size_t CollectAnswer(char* data, size_t size, size_t count, void* user) {
  auto* target = static_cast<std::pair<std::string*, bool*>*>(user);
  const size_t bytes = size * count;
  if (target->first->size() + bytes > kMaxAnswerBytes) {
    *target->second = true;
    return 0;  // ends the transfer
  }
  target->first->append(data, bytes);
  return bytes;
}

bool IsXmlContentType(const std::string& contentType) {
  const std::string type = Lower(contentType.substr(0, contentType.find(';')));
  const auto trimmed = type.substr(0, type.find_last_not_of(" \t") + 1);
  return trimmed == "text/xml" || trimmed == "application/soap+xml" || trimmed == "application/xml";
}

bool IsUnreachable(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
      return true;
    default:
      return false;
  }
}

}  // namespace

SoapClient::SoapClient(const std::string& url, LogSink log)
    : url_(url), log_(std::move(log)), peer_(std::make_unique<TlsPeer>()) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  curl_ = curl_easy_init();
  if (!curl_) {
    curl_global_cleanup();
    throw XeroxException(kXeroxUnreachable, "The connection to the device cannot be prepared.");
  }
  if (!SplitUrl(url_, host_, device_)) {
    curl_easy_cleanup(Handle(curl_));
    curl_global_cleanup();
    throw XeroxException(kXeroxInvalidArgument,
                         "The device's web service address \"" + url + "\" is not an https:// address with a host.");
  }
}

SoapClient::~SoapClient() {
  curl_easy_cleanup(Handle(curl_));
  curl_global_cleanup();
}

XmlElement SoapClient::Exchange(std::string_view operation, const std::string& envelope) {
  CURL* curl = Handle(curl_);
  curl_easy_reset(curl);
  response_.clear();
  responseTooLarge_ = false;
  peer_->BeginHandshake(pins_ ? pins_->Find(host_) : std::string());
  char errorText[CURL_ERROR_SIZE] = "";
  std::pair<std::string*, bool*> sink{&response_, &responseTooLarge_};

  curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, "Content-Type: text/xml; charset=utf-8");
  headers = curl_slist_append(headers, "SOAPAction: \"\"");
  headers = curl_slist_append(headers, "Expect:");
  curl_easy_setopt(curl, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_PROXY, "");  // a device on the local network, never through a proxy
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Velloran");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, envelope.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(envelope.size()));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts_.exchange.count()));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectAnswer);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxAnswerBytes));
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  // The certificate is checked against the pin during the handshake (TlsPeer); a resumed
  // session would skip that check, so none is kept.
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_SESSIONID_CACHE, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, InstallPeerCheck);
  curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, peer_.get());

  log_(5, "POST " + std::string(operation) + " to " + url_);
  const CURLcode result = curl_easy_perform(curl);
  curl_slist_free_all(headers);
  long status = 0;
  char* contentType = nullptr;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType);
  const std::string type = contentType ? contentType : "";
  if (result != CURLE_OK) ThrowTransferError(result, errorText[0] ? errorText : curl_easy_strerror(result));
  return ReadAnswer(operation, status, type);
}

void SoapClient::ThrowTransferError(int code, const std::string& detail) const {
  const auto result = static_cast<CURLcode>(code);
  if (peer_->mismatch) {
    std::string text = "The certificate of the Xerox device " + host_ + " is not the one it showed at the first contact (expected " +
                       peer_->expected + ", now " + peer_->seen + "); nothing was sent to it.";
    if (pins_) text += " " + pins_->HowToAccept(host_);
    throw XeroxException(kXeroxCertificateChanged, text);
  }
  if (responseTooLarge_ || result == CURLE_FILESIZE_EXCEEDED) {
    throw XeroxException(kXeroxBadAnswer, "The answer of the device at " + url_ + " is larger than " +
                                              std::to_string(kMaxAnswerBytes) + " bytes.");
  }
  if (IsUnreachable(result)) {
    throw XeroxException(kXeroxUnreachable, "The device's web service at " + url_ + " cannot be reached: " + detail);
  }
  throw XeroxException(kXeroxBadAnswer, "The exchange with the device at " + url_ + " failed: " + detail);
}

XmlElement SoapClient::ReadAnswer(std::string_view operation, long status, const std::string& contentType) {
  const std::string request(operation);
  if (status >= 300 && status < 400) {
    char* location = nullptr;
    curl_easy_getinfo(Handle(curl_), CURLINFO_REDIRECT_URL, &location);
    throw XeroxException(kXeroxHttpError, "The device at " + url_ + " answered " + request + " with HTTP " +
                                              std::to_string(status) + ", a redirect to " +
                                              (location ? location : "nowhere") + ", which is not followed.");
  }
  // A fault comes with status 500 and an XML body; any other failure status is an HTTP error.
  const bool xml = IsXmlContentType(contentType);
  if (status != 200 && !(status == 500 && xml)) {
    throw XeroxException(kXeroxHttpError, "The device at " + url_ + " answered " + request + " with HTTP " +
                                              std::to_string(status) + ".");
  }
  if (!xml) {
    throw XeroxException(kXeroxBadAnswer, "The device at " + url_ + " answered " + request + " with \"" +
                                              contentType + "\" content, not a SOAP message.");
  }
  std::string error;
  std::optional<SoapAnswer> answer = ParseSoapAnswer(response_, error);
  if (!answer) {
    throw XeroxException(kXeroxBadAnswer,
                         "The device's answer to " + request + " is not a SOAP message: " + error + ".");
  }
  if (pins_ && peer_->expected.empty() && !peer_->seen.empty()) {
    pins_->Remember(host_, peer_->seen);
    log_(4, "The certificate of " + host_ + " (" + peer_->seen + ") is trusted from now on.");
  }
  if (answer->fault) {
    // The device's own words are what the user sees; the code only when it gave no words.
    const SoapAnswer::Fault& fault = *answer->fault;
    throw XeroxException(kXeroxSoapFault, !fault.text.empty() ? fault.text
                                                               : "The device refused " + request + " (" +
                                                                     (fault.code.empty() ? "no reason given" : fault.code) + ").");
  }
  if (status != 200) {
    throw XeroxException(kXeroxHttpError, "The device at " + url_ + " answered " + request + " with HTTP " +
                                              std::to_string(status) + ".");
  }
  return std::move(answer->content);
}

}  // namespace xerox
