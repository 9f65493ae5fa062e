// What the connector makes of the scanner service's bytes: replies that decode, hostile ones
// that must fail cleanly (through the decoders and through a whole connector talking to a
// service that lies), and the host texts it accepts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "PageImage.h"
#include "RemoteHost.h"
#include "SaneReplies.h"
#include "SaneWire.h"
#include "plugins/SanedFixture.h"
#include "support/FtpClient.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace sanenet;

// Reply bytes, written the way the service encodes them.
class Bytes {
 public:
  Bytes& Word(int32_t value) {
    writer_.Word(value);
    return *this;
  }
  Bytes& String(const std::string& text) {
    writer_.String(text);
    return *this;
  }
  Bytes& Raw(std::initializer_list<uint8_t> bytes) {
    extra_.insert(extra_.end(), bytes);
    return *this;
  }
  std::vector<uint8_t> Data() const {
    std::vector<uint8_t> all = writer_.Data();
    all.insert(all.end(), extra_.begin(), extra_.end());
    return all;
  }

 private:
  WireWriter writer_;
  std::vector<uint8_t> extra_;
};

TEST(SaneReplies, DecodeWhatTheServiceSends) {
  const auto devices = Bytes()
                           .Word(0)
                           .Word(3)
                           .Word(0).String("test:0").String("Noname").String("frontend-tester").String("virtual device")
                           .Word(0).String("test:1").String("Noname").String("frontend-tester").String("virtual device")
                           .Word(1)
                           .Data();
  MemorySource source(devices);
  WireReader reader(source);
  const DevicesReply reply = ReadDevicesReply(reader);
  ASSERT_EQ(reply.devices.size(), 2u) << "the NULL that ends the list is no device";
  EXPECT_EQ(reply.devices[1].name, "test:1");
  EXPECT_EQ(source.Remaining(), 0u);

  const auto options = Bytes()
                           .Word(2)
                           .Word(0).String("").String("Number of options").String("").Word(1).Word(0).Word(4).Word(4).Word(0)
                           .Word(0).String("depth").String("Depth").String("").Word(1).Word(2).Word(4).Word(5).Word(2)
                           .Word(4).Word(3).Word(1).Word(8).Word(16)
                           .Data();
  MemorySource optionSource(options);
  WireReader optionReader(optionSource);
  const auto descriptors = ReadOptionDescriptors(optionReader);
  ASSERT_EQ(descriptors.size(), 2u);
  EXPECT_THAT(descriptors[1].wordList, ElementsAre(1, 8, 16)) << "without the leading count";
}

struct HostileCase {
  const char* name;
  std::function<void(WireReader&)> decode;
  std::vector<uint8_t> bytes;
  const char* error;
};

const HostileCase kHostileCases[] = {
    {"HugeStringLength", [](WireReader& r) { ReadOpenReply(r); }, Bytes().Word(0).Word(1).Word(0x7fffffff).Data(),
     "more than the limit"},
    {"NegativeStringLength", [](WireReader& r) { ReadOpenReply(r); }, Bytes().Word(0).Word(1).Word(-5).Data(),
     "negative length"},
    {"NegativeDeviceCount", [](WireReader& r) { ReadDevicesReply(r); }, Bytes().Word(0).Word(-1).Data(),
     "negative length"},
    {"HugeOptionCount", [](WireReader& r) { ReadOptionDescriptors(r); }, Bytes().Word(0x40000000).Data(),
     "more than the limit"},
    {"TruncatedDevice", [](WireReader& r) { ReadDevicesReply(r); }, Bytes().Word(0).Word(2).Word(0).String("test:0").Data(),
     "ended early"},
    {"TruncatedWord", [](WireReader& r) { ReadInitReply(r); }, Bytes().Word(0).Raw({1, 0}).Data(), "ended early"},
    {"UnknownConstraint", [](WireReader& r) { ReadOptionDescriptors(r); },
     Bytes().Word(1).Word(0).String("x").String("").String("").Word(1).Word(0).Word(4).Word(5).Word(9).Data(),
     "unknown constraint type 9"},
    {"EndlessOptionList", [](WireReader& r) { ReadOptionDescriptors(r); },
     [] {
       Bytes many;
       many.Word(60000);
       for (int i = 0; i < 60000; ++i) many.Word(0).String(std::string(300, 'o')).String("").String("").Word(1).Word(0).Word(4).Word(5).Word(0);
       return many.Data();
     }(),
     "reply of more than"},
};

class HostileReply : public ::testing::TestWithParam<HostileCase> {};

// Each fails with a reason, allocating nothing of the size it claims.
TEST_P(HostileReply, FailsCleanly) {
  MemorySource source(GetParam().bytes);
  WireReader reader(source);
  try {
    GetParam().decode(reader);
    FAIL() << "decoded";
  } catch (const SaneError& error) {
    EXPECT_THAT(error.what(), HasSubstr(GetParam().error));
  }
}

INSTANTIATE_TEST_SUITE_P(Replies, HostileReply, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

Frame GrayFrame(int32_t pixels, int32_t bytesPerLine, int32_t lines, int32_t depth, std::vector<uint8_t> bytes) {
  Frame frame;
  frame.parameters = ParametersReply{0, 0, true, bytesPerLine, pixels, lines, depth};
  frame.bytes = std::move(bytes);
  return frame;
}

// Frames that cannot make a page are refused with the reason; a short image is not padded.
TEST(PageAssembly, RefusesFramesThatMakeNoPage) {
  const struct {
    const char* name;
    Frame frame;
    const char* error;
  } cases[] = {
      {"ShortImage", GrayFrame(4, 4, 3, 8, std::vector<uint8_t>(8)), "ended after 8 of 12"},
      {"LineTooShort", GrayFrame(40, 4, 1, 8, std::vector<uint8_t>(4)), "lines of 4 bytes for 40 pixels"},
      {"TwelveBits", GrayFrame(4, 8, 1, 12, std::vector<uint8_t>(8)), "12-bit"},
      {"NoPixels", GrayFrame(0, 4, 1, 8, std::vector<uint8_t>(4)), "0 pixels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      AssemblePage({c.frame});
      ADD_FAILURE() << "assembled";
    } catch (const SaneError& error) {
      EXPECT_THAT(error.what(), HasSubstr(c.error));
    }
  }
}

// A quarter turn clockwise moves the top-left pixel to the top right, for every depth.
TEST(PageAssembly, TurnsClockwise) {
  PageImage gray{3, 2, 8, {1, 2, 3, 4, 5, 6}};
  EXPECT_THAT(RotatedClockwise(gray).pixels, ElementsAre(4, 1, 5, 2, 6, 3));
  PageImage bits{3, 2, 1, {0b10100000, 0b01000000}};  // rows 101 and 010
  const PageImage turned = RotatedClockwise(bits);
  EXPECT_EQ(turned.width, 2u);
  EXPECT_THAT(turned.pixels, ElementsAre(0b01000000, 0b10000000, 0b01000000));
}

struct HostCase {
  const char* name;
  const char* text;
  std::optional<std::pair<std::string, uint16_t>> expected;
};

const HostCase kHostCases[] = {
    {"NameOnly", "scanhost", std::pair<std::string, uint16_t>{"scanhost", 6566}},
    {"NameAndPort", " scanhost:7000 ", std::pair<std::string, uint16_t>{"scanhost", 7000}},
    {"BracketedV6", "[::1]:7000", std::pair<std::string, uint16_t>{"::1", 7000}},
    {"BracketedV6NoPort", "[fe80::1]", std::pair<std::string, uint16_t>{"fe80::1", 6566}},
    {"BareV6", "::1", std::pair<std::string, uint16_t>{"::1", 6566}},
    {"Empty", "  ", std::nullopt},
    {"PortZero", "host:0", std::nullopt},
    {"PortTooLarge", "host:65536", std::nullopt},
    {"PortNotANumber", "host:x1", std::nullopt},
    {"EmptyPort", "host:", std::nullopt},
    {"UnclosedBracket", "[::1:7000", std::nullopt},
};

class RemoteHostText : public ::testing::TestWithParam<HostCase> {};

TEST_P(RemoteHostText, Parses) {
  const auto parsed = ParseRemoteHost(GetParam().text);
  ASSERT_EQ(parsed.has_value(), GetParam().expected.has_value());
  if (!parsed) return;
  EXPECT_EQ(parsed->host, GetParam().expected->first);
  EXPECT_EQ(parsed->port, GetParam().expected->second);
}

INSTANTIATE_TEST_SUITE_P(Texts, RemoteHostText, ::testing::ValuesIn(kHostCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A service on loopback that answers the connection's first request properly and the second
// with `reply`, then closes.
class LyingService {
 public:
  explicit LyingService(std::vector<uint8_t> reply) : reply_(std::move(reply)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listen(listener_, 1);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LyingService() {
    thread_.join();
    close(listener_);
  }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  void Serve() {
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    uint8_t request[512];
    const auto init = Bytes().Word(0).Word(0x01000003).Data();
    if (recv(client, request, sizeof request, 0) > 0) send(client, init.data(), init.size(), MSG_NOSIGNAL);
    if (recv(client, request, sizeof request, 0) > 0) send(client, reply_.data(), reply_.size(), MSG_NOSIGNAL);
    close(client);
  }

  std::vector<uint8_t> reply_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// Through a whole connector: the scanner list fails with the reason, nothing crashes or hangs.
TEST(LyingServiceTest, ScannerListFailsWithTheReason) {
  const struct {
    const char* name;
    std::vector<uint8_t> reply;
    const char* error;
  } cases[] = {
      {"HugeDeviceCount", Bytes().Word(0).Word(0x7fffffff).Data(), "more than the limit"},
      {"TruncatedThenClosed", Bytes().Word(0).Word(2).Word(0).Raw({0, 0}).Data(), "closed the connection"},
      {"Refusal", Bytes().Word(11).Word(0).Data(), "Access to resource has been denied"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LyingService service(c.reply);
    plugins_test::RecordingSink sink;
    CSSConnector connector(service.Host());
    connector.Subscribe(&sink);
    std::vector<std::string> scanners;
    EXPECT_FALSE(connector.GetAvailableScanners(scanners));
    EXPECT_THAT(sink.Messages(), HasSubstr(c.error));
    connector.Unsubscribe();
  }
}

}  // namespace
