// CXeroxConnector against the stand-in device over HTTPS on loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "connectors/CXeroxConnector.h"
#include "connectors/CXeroxConnectorEvents.h"
#include "connectors/XeroxCertificatePins.h"
#include "connectors/XeroxException.h"
#include "platform/StringConversion.h"
#include "support/FtpClient.h"
#include "support/ScopedEnvironment.h"
#include "support/XeroxDevice.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using test_support::XeroxDevice;
using test_support::XeroxDeviceOptions;

std::u16string W(const std::string& text) { return platform::NarrowToWide(text); }
std::string N(const std::u16string& text) { return platform::WideToNarrow(text); }

struct Recorded {
  std::string device;
  std::string name;
  uint32_t checksum;
};

class RecordingEvents : public CXeroxConnectorEvents {
 public:
  void OnConnectorLog(int32_t level, const std::u16string& text) override { logs.emplace_back(level, N(text)); }
  void OnTemplatePut(const std::u16string& device, const std::u16string& name, uint32_t checksum) override {
    put.push_back({N(device), N(name), checksum});
  }
  void OnTemplateRemoved(const std::u16string& device, const std::u16string& name, uint32_t checksum) override {
    removed.push_back({N(device), N(name), checksum});
  }
  std::vector<std::pair<int, std::string>> logs;
  std::vector<Recorded> put;
  std::vector<Recorded> removed;
};

class MemoryPins : public XeroxCertificatePins {
 public:
  std::string Find(const std::string& device) const override {
    const auto it = pins.find(device);
    return it == pins.end() ? std::string() : it->second;
  }
  void Remember(const std::string& device, const std::string& fingerprint) override { pins[device] = fingerprint; }
  std::string HowToAccept(const std::string& device) const override { return "Forget " + device + " to accept it."; }
  std::map<std::string, std::string> pins;
};

// openssl's own SHA-256 fingerprint of a certificate file, in the pins' form.
std::string OpensslFingerprint(const std::string& certificate) {
  const std::string command = "openssl x509 -noout -fingerprint -sha256 -in " + test_support::ShellQuoted(certificate);
  FILE* pipe = popen(command.c_str(), "r");
  char line[256] = "";
  const bool read = pipe && fgets(line, sizeof line, pipe);
  if (pipe) pclose(pipe);
  std::string text = read ? line : "";
  text = text.substr(text.find('=') + 1);
  std::string hex;
  for (const char c : text)
    if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
  return "sha256:" + hex;
}

XeroxDeviceOptions Answering(const char* answer) {
  XeroxDeviceOptions options;
  options.answer = answer;
  return options;
}

XeroxDeviceOptions WithCertificateOf(const XeroxDevice& device) {
  XeroxDeviceOptions options;
  options.cert = device.CertificateFile();
  options.key = device.KeyFile();
  return options;
}

class XeroxConnectorTest : public ::testing::Test {
 protected:
  std::unique_ptr<CXeroxConnector> Connector(const std::string& url, const std::string& name = "test.xst") {
    auto connector = std::make_unique<CXeroxConnector>(W(url), W(name));
    connector->SubscribeEvents(&events);
    connector->SetCertificatePins(&pins);
    return connector;
  }
  // The settings of the MFP page's defaults, to the FTP server at address.
  static void Put(CXeroxConnector& connector, const std::string& address = "10.1.2.3:888") {
    connector.PutConfigurationOnDevice(W(address), u"scanner", u"<Pa&55'>", 300, 8, 1, 1, true);
  }
  // The failure of Put, which must throw a XeroxException.
  static XeroxException Failure(CXeroxConnector& connector) {
    try {
      Put(connector);
    } catch (const XeroxException& failure) {
      return failure;
    }
    ADD_FAILURE() << "no XeroxException";
    return XeroxException(0, "");
  }
  std::filesystem::path Folder(const std::string& name) const { return environment.Root() / name; }

  test_support::ScopedEnvironment environment;
  RecordingEvents events;
  MemoryPins pins;
};

TEST_F(XeroxConnectorTest, PutsTheTemplateAndReplacesItsOwnNextTime) {
  XeroxDevice device(Folder("device"));
  auto connector = Connector(device.Url());
  Put(*connector, "10.1.2.3:888");
  EXPECT_THAT(device.Requests(), ElementsAre("ListTemplatesRequest /webservices/office/template_management/1/",
                                             "PutTemplateRequest /webservices/office/template_management/1/"));
  ASSERT_EQ(device.Templates().size(), 1u);
  auto fields = test_support::TemplateFields(device.Templates()[0]);
  EXPECT_EQ(fields["RepositoryName"], "10.1.2.3:888");
  EXPECT_EQ(fields["UserNetworkFilingLoginName"], "scanner");
  EXPECT_EQ(fields["UserNetworkFilingLoginID"], "<Pa&55'>") << "escaped in the request, intact on the device";
  EXPECT_EQ(fields["Resolution"], "RES_300X300");
  EXPECT_EQ(fields["ColorMode"], "GRAYSCALE");
  EXPECT_EQ(fields["InputOrientation"], "LANDSCAPE");
  EXPECT_EQ(fields["InputMediaSize"], "ISO_A4SEF");
  EXPECT_EQ(fields["SidesToScan"], "TWO_SIDED");
  ASSERT_EQ(events.put.size(), 1u);
  EXPECT_EQ(events.put[0].device, device.Name());
  EXPECT_EQ(events.put[0].name, "test.xst");
  EXPECT_THAT(events.removed, IsEmpty());

  // A second configuration, with a new connector as every scan makes one: the old template goes first.
  auto next = Connector(device.Url());
  Put(*next, "10.1.2.3:999");
  EXPECT_THAT(device.Requests(), ElementsAre(::testing::_, ::testing::_,
                                             "ListTemplatesRequest /webservices/office/template_management/1/",
                                             "DeleteTemplateRequest /webservices/office/template_management/1/",
                                             "PutTemplateRequest /webservices/office/template_management/1/"));
  ASSERT_EQ(events.removed.size(), 1u);
  EXPECT_EQ(events.removed[0].name, "test.xst");
  EXPECT_EQ(events.removed[0].checksum, events.put[0].checksum);
  ASSERT_EQ(device.Templates().size(), 2u);
  EXPECT_EQ(test_support::TemplateFields(device.Templates()[1])["RepositoryName"], "10.1.2.3:999");
}

TEST_F(XeroxConnectorTest, AnEmptyTemplateNameIsTheComputersOwn) {
  XeroxDevice device(Folder("device"));
  const std::u16string own = CXeroxConnector::CreateTemplateName();
  EXPECT_THAT(N(own), ::testing::MatchesRegex("velloran[_A-Za-z0-9-]*\\.xst"));
  auto connector = Connector(device.Url(), "");
  Put(*connector);
  ASSERT_EQ(events.put.size(), 1u);
  EXPECT_EQ(events.put[0].name, N(own));
}

struct FailureCase {
  const char* name;
  const char* answer;         // the stand-in's answer mode
  const char* path;           // the path it answers on
  uint32_t error;
  const char* description;    // part of the description
};

const FailureCase kFailureCases[] = {
    {"PathNotServed", "normal", "/other", kXeroxHttpError, "HTTP 404"},
    {"SoapFault", "fault", nullptr, kXeroxSoapFault, "Template storage is full"},
    {"HugeBody", "huge", nullptr, kXeroxBadAnswer, "larger than"},
    {"MalformedXml", "malformed", nullptr, kXeroxBadAnswer, "not a SOAP message"},
    {"WrongContentType", "html", nullptr, kXeroxBadAnswer, "\"text/html\" content"},
    {"RedirectElsewhere", "redirect", nullptr, kXeroxHttpError, "https://elsewhere.invalid/steal, which is not followed"},
};

class DeviceFailures : public XeroxConnectorTest, public ::testing::WithParamInterface<FailureCase> {};

// Every hostile or refusing answer ends in a XeroxException that says why; nothing is put.
TEST_P(DeviceFailures, FailWithTheirReason) {
  XeroxDeviceOptions options = Answering(GetParam().answer);
  if (GetParam().path) options.accept = {GetParam().path};
  XeroxDevice device(Folder("device"), options);
  auto connector = Connector(device.Url());
  const XeroxException failure = Failure(*connector);
  EXPECT_EQ(failure.GetError(), GetParam().error);
  EXPECT_THAT(N(failure.GetDescription()), HasSubstr(GetParam().description));
  EXPECT_THAT(device.Templates(), IsEmpty());
  EXPECT_THAT(events.put, IsEmpty());
  EXPECT_THAT(events.logs, ::testing::Contains(::testing::Pair(2, N(failure.GetDescription()))));
}

INSTANTIATE_TEST_SUITE_P(Answers, DeviceFailures, ::testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(XeroxConnectorTest, AFaultIsTheDevicesOwnText) {
  XeroxDevice device(Folder("device"), Answering("fault"));
  auto connector = Connector(device.Url());
  EXPECT_EQ(N(Failure(*connector).GetDescription()), "Template storage is full");
}

// No device there, no name, a device that never answers: all are "cannot be reached".
TEST_F(XeroxConnectorTest, UnreachableDevicesGiveTheUnreachableCode) {
  const test_support::LoopbackPort closed(/*listen=*/false);
  XeroxDevice stalling(Folder("stalling"), Answering("stall"));
  for (const std::string& url : {"https://127.0.0.1:" + std::to_string(closed.Port()) + "/x",
                                std::string("https://no-such-device.invalid/x"), stalling.Url()}) {
    SCOPED_TRACE(url);
    auto connector = Connector(url);
    // Short limits: the stand-in stalls for minutes, so finishing at all shows the limit works.
    connector->SetTimeouts(std::chrono::milliseconds(500), std::chrono::milliseconds(800));
    const XeroxException failure = Failure(*connector);
    EXPECT_EQ(failure.GetError(), 0x800400C9u);
    EXPECT_THAT(N(failure.GetDescription()), HasSubstr("cannot be reached"));
  }
}

TEST_F(XeroxConnectorTest, OnlyHttpsAddressesAreContacted) {
  auto connector = Connector("http://127.0.0.1:1/webservices");
  const XeroxException failure = Failure(*connector);
  EXPECT_EQ(failure.GetError(), kXeroxInvalidArgument);
  EXPECT_THAT(N(failure.GetDescription()), HasSubstr("not an https:// address"));
}

TEST_F(XeroxConnectorTest, BadSettingsAreRefusedBeforeAnyContact) {
  XeroxDevice device(Folder("device"));
  auto connector = Connector(device.Url());
  try {
    connector->PutConfigurationOnDevice(u"10.1.2.3:888", u"scanner", u"quote\"d", 250, 1, 0, 3, false);
    FAIL() << "no exception";
  } catch (const XeroxException& failure) {
    EXPECT_EQ(failure.GetError(), kXeroxInvalidArgument);
    EXPECT_THAT(N(failure.GetDescription()), HasSubstr("FTP password"));
  }
  EXPECT_THAT(device.Requests(), IsEmpty());
}

// The device's certificate is trusted at the first contact and must stay the same afterwards.
TEST_F(XeroxConnectorTest, TheFirstCertificateIsPinnedAndAChangedOneRefused) {
  std::string pinned;
  {
    XeroxDevice first(Folder("first"));
    Put(*Connector(first.Url()));
    ASSERT_EQ(pins.pins.count("127.0.0.1"), 1u);
    pinned = pins.pins["127.0.0.1"];
    EXPECT_EQ(pinned, OpensslFingerprint(first.CertificateFile()));

    XeroxDevice sameCertificate(Folder("same"), WithCertificateOf(first));
    Put(*Connector(sameCertificate.Url()));
    EXPECT_EQ(sameCertificate.Templates().size(), 1u);
  }

  XeroxDevice replaced(Folder("replaced"));
  const XeroxException failure = Failure(*Connector(replaced.Url()));
  EXPECT_EQ(failure.GetError(), kXeroxCertificateChanged);
  EXPECT_THAT(N(failure.GetDescription()), HasSubstr(pinned));
  EXPECT_THAT(N(failure.GetDescription()), HasSubstr(OpensslFingerprint(replaced.CertificateFile())));
  EXPECT_THAT(N(failure.GetDescription()), HasSubstr("Forget 127.0.0.1 to accept it."));
  EXPECT_THAT(replaced.Requests(), IsEmpty()) << "the handshake ends before any request";

  pins.pins.clear();  // the user accepts the new certificate
  Put(*Connector(replaced.Url()));
  EXPECT_EQ(replaced.Templates().size(), 1u);
  EXPECT_EQ(pins.pins["127.0.0.1"], OpensslFingerprint(replaced.CertificateFile()));
}

}  // namespace
