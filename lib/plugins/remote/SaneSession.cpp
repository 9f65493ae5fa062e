#include "SaneSession.h"

#include <openssl/evp.h>
#include <sane/sane.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "BufferedReader.h"
#include "SaneSocket.h"

namespace sanenet {
namespace {

// The remote procedure numbers of the service's protocol.
enum Procedure : int32_t {
  kInit = 0,
  kGetDevices = 1,
  kOpen = 2,
  kClose = 3,
  kGetOptionDescriptors = 4,
  kControlOption = 5,
  kGetParameters = 6,
  kStart = 7,
  kCancel = 8,
  kAuthorize = 9,
  kExit = 10,
};

constexpr int32_t kProtocolVersion = SANE_VERSION_CODE(1, 0, 3);
constexpr uint32_t kEndOfFrame = 0xFFFFFFFF;
// A frame larger than this is refused rather than held in memory: 64000 x 64000 pixels of
// 16-bit colour would not fit in any case, and a hostile service could claim anything.
constexpr uint64_t kMaxFrameBytes = uint64_t{1} << 31;
// What an announced size may reserve before the bytes have actually come.
constexpr uint64_t kReserveLimit = uint64_t{64} << 20;
constexpr const char* kMd5Marker = "$MD5$";

void ExpectGood(int32_t status, const char* what) {
  if (status != SANE_STATUS_GOOD) throw SaneError(std::string(what) + ": " + StatusText(status));
}

uint32_t BigEndian32(const std::array<uint8_t, 4>& bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

// The bytes a frame with these parameters holds; 0 when the height is not known in advance.
uint64_t ExpectedFrameBytes(const ParametersReply& parameters) {
  if (parameters.bytesPerLine <= 0 || parameters.lines < 0) return 0;
  return uint64_t(parameters.bytesPerLine) * uint64_t(parameters.lines);
}

}  // namespace

std::string Md5Answer(const std::string& salt, const std::string& password) {
  const std::string input = salt + password;
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_Digest(input.data(), input.size(), digest.data(), &length, EVP_md5(), nullptr) != 1)
    throw SaneError("cannot compute the MD5 answer to the service's challenge");
  std::string answer = kMd5Marker;
  for (unsigned int i = 0; i < length; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", digest[i]);
    answer += hex;
  }
  return answer;
}

SaneSession::SaneSession(SaneEndpoint endpoint) : endpoint_(std::move(endpoint)) {
  control_ = std::make_unique<SaneSocket>(endpoint_.host, endpoint_.port, endpoint_.connectTimeout);
  control_->SetTimeout(endpoint_.replyTimeout);
  const InitReply reply = Call<InitReply>(
      WireWriter().Word(kInit).Word(kProtocolVersion).String(endpoint_.user.empty() ? "velloran" : endpoint_.user),
      ReadInitReply);
  ExpectGood(reply.status, "the service refused the connection");
  if (SANE_VERSION_MAJOR(reply.versionCode) != 1)
    throw SaneError("the service speaks protocol version " + std::to_string(SANE_VERSION_MAJOR(reply.versionCode)) +
                    ", not 1");
}

SaneSession::~SaneSession() {
  if (aborted_) return;
  try {
    // A dead service must not hold up the goodbye.
    control_->SetTimeout(std::chrono::milliseconds(1000));
    if (handle_ >= 0) Close();
    Send(WireWriter().Word(kExit));
  } catch (const SaneError&) {
    // The connection is going anyway.
  }
}

void SaneSession::Send(const WireWriter& request) { control_->WriteAll(request.Data()); }

template <typename Reply, typename Decode>
Reply SaneSession::Call(const WireWriter& request, Decode decode) {
  Send(request);
  WireReader reader(*control_);
  return decode(reader);
}

template <typename Reply, typename Decode>
Reply SaneSession::AuthorisedReply(Reply reply, Decode decode) {
  // The service asks for a resource to be authorised, then sends the real reply. It asks
  // again only when the answer was wrong, so one round is all we try.
  if (reply.resource.empty()) return reply;
  Authorise(reply.resource);
  WireReader reader(*control_);
  reply = decode(reader);
  if (!reply.resource.empty())
    throw SaneError("the service refused the user \"" + endpoint_.user + "\" for " + reply.resource);
  return reply;
}

void SaneSession::Authorise(const std::string& resource) {
  std::string answer = endpoint_.password;
  if (const auto marker = resource.find(kMd5Marker); marker != std::string::npos)
    answer = Md5Answer(resource.substr(marker + std::char_traits<char>::length(kMd5Marker)), endpoint_.password);
  Call<int32_t>(WireWriter().Word(kAuthorize).String(resource).String(endpoint_.user).String(answer),
                [](WireReader& reader) { return reader.Word(); });
}

std::vector<DeviceInfo> SaneSession::GetDevices() {
  DevicesReply reply = Call<DevicesReply>(WireWriter().Word(kGetDevices), ReadDevicesReply);
  ExpectGood(reply.status, "the service cannot list its scanners");
  return std::move(reply.devices);
}

void SaneSession::Open(const std::string& device) {
  OpenReply reply = Call<OpenReply>(WireWriter().Word(kOpen).String(device), ReadOpenReply);
  reply = AuthorisedReply(std::move(reply), ReadOpenReply);
  if (reply.status == SANE_STATUS_ACCESS_DENIED)
    throw SaneError("the service cannot open the scanner \"" + device + "\": " + StatusText(reply.status) +
                    " to the user \"" + endpoint_.user + "\"");
  ExpectGood(reply.status, ("the service cannot open the scanner \"" + device + "\"").c_str());
  handle_ = reply.handle;
}

std::vector<OptionDescriptor> SaneSession::GetOptionDescriptors() {
  return Call<std::vector<OptionDescriptor>>(WireWriter().Word(kGetOptionDescriptors).Word(handle_),
                                             ReadOptionDescriptors);
}

ControlReply SaneSession::SetOption(int32_t index, const OptionValue& value) {
  WireWriter request;
  request.Word(kControlOption).Word(handle_).Word(index).Word(SANE_ACTION_SET_VALUE).Word(value.type).Word(value.size);
  if (value.type == SANE_TYPE_STRING) {
    std::vector<uint8_t> bytes(static_cast<size_t>(value.size), 0);
    std::copy_n(value.text.begin(), std::min(value.text.size(), bytes.size() ? bytes.size() - 1 : 0), bytes.begin());
    request.Bytes(bytes);
  } else {
    request.Word(static_cast<int32_t>(value.words.size()));
    for (const int32_t word : value.words) request.Word(word);
  }
  ControlReply reply = Call<ControlReply>(request, ReadControlReply);
  reply = AuthorisedReply(std::move(reply), ReadControlReply);
  ExpectGood(reply.status, ("the scanner refused the value of option " + std::to_string(index)).c_str());
  return reply;
}

bool SaneSession::ReadFrame(Frame& frame, int32_t& startStatus) {
  control_->SetTimeout(endpoint_.scanTimeout);
  StartReply start = Call<StartReply>(WireWriter().Word(kStart).Word(handle_), ReadStartReply);
  start = AuthorisedReply(std::move(start), ReadStartReply);
  control_->SetTimeout(endpoint_.replyTimeout);
  startStatus = start.status;
  if (start.status != SANE_STATUS_GOOD) return false;
  if (start.port <= 0 || start.port > 65535)
    throw SaneError("the service sent the data port " + std::to_string(start.port));
  {
    auto data = std::make_unique<SaneSocket>(control_->PeerAddress(), static_cast<uint16_t>(start.port),
                                             endpoint_.connectTimeout);
    data->SetTimeout(endpoint_.scanTimeout);
    const std::lock_guard lock(dataMutex_);
    if (aborted_) throw SaneError("the scan was cancelled");
    data_ = std::move(data);
  }
  frame.parameters = Call<ParametersReply>(WireWriter().Word(kGetParameters).Word(handle_), ReadParametersReply);
  ExpectGood(frame.parameters.status, "the scanner cannot describe the image");
  frame.byteOrder = start.byteOrder;
  ReadImage(frame);
  const std::lock_guard lock(dataMutex_);
  data_.reset();
  return true;
}

void SaneSession::ReadImage(Frame& frame) {
  const uint64_t expected = ExpectedFrameBytes(frame.parameters);
  if (expected > kMaxFrameBytes) throw SaneError("the scanner announced an image of " + std::to_string(expected) + " bytes");
  frame.bytes.clear();  // keeps the memory of a page before, which the caller may hand in
  frame.bytes.reserve(std::min<uint64_t>(expected, kReserveLimit));
  BufferedReader data(*data_);
  for (;;) {
    std::array<uint8_t, 4> header{};
    data.ReadExact(header);
    const uint32_t length = BigEndian32(header);
    if (length == kEndOfFrame) {
      uint8_t status = 0;
      data.ReadExact(std::span(&status, 1));
      if (status != SANE_STATUS_EOF && status != SANE_STATUS_GOOD)
        throw SaneError("the scan ended with: " + StatusText(status));
      return;
    }
    if (frame.bytes.size() + length > kMaxFrameBytes ||
        (expected != 0 && frame.bytes.size() + length > expected))
      throw SaneError("the scanner sent more image data than it announced");
    const size_t offset = frame.bytes.size();
    frame.bytes.resize(offset + length);
    data.ReadExact(std::span(frame.bytes).subspan(offset));
  }
}

void SaneSession::Cancel() {
  Call<int32_t>(WireWriter().Word(kCancel).Word(handle_), [](WireReader& reader) { return reader.Word(); });
}

void SaneSession::Close() {
  const int32_t handle = std::exchange(handle_, -1);
  Call<int32_t>(WireWriter().Word(kClose).Word(handle), [](WireReader& reader) { return reader.Word(); });
}

void SaneSession::Abort() {
  const std::lock_guard lock(dataMutex_);
  aborted_ = true;
  control_->Abort();
  if (data_) data_->Abort();
}

}  // namespace sanenet
