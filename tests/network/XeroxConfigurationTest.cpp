// The source's side of the Xerox connector: the three endpoint attempts with the stored pattern,
// the records of the template left on the device, the certificate pins in the settings, and the
// messages of "Check connection", against the stand-in device over HTTPS on loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connectors/CXeroxConnector.h"
#include "connectors/XeroxException.h"
#include "logging/Logger.h"
#include "logging/LoggingSetup.h"
#include "network/MfpCertificatePins.h"
#include "network/XeroxConfiguration.h"
#include "network/XeroxConnectorHolder.h"
#include "platform/MessageBox.h"
#include "platform/StringConversion.h"
#include "support/FtpClient.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "support/XeroxDevice.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using test_support::XeroxDevice;
using test_support::XeroxDeviceOptions;

const std::string kWithSlash = std::string(test_support::kTemplatePath) + "/";
const std::string kWithoutSlash = test_support::kTemplatePath;

XeroxDeviceOptions Accepting(std::vector<std::string> paths) {
  XeroxDeviceOptions options;
  options.accept = std::move(paths);
  return options;
}

class XeroxConfiguration : public ::testing::Test {
 protected:
  XeroxConfiguration() {
    settings->SetLoggerEnabled(true);
    settings->WriteString("FtpServer", "FtpServer", "192.0.2.7");
    settings->WriteString("FtpServer", "FtpServerPort", "2121");
    settings->WriteString("FtpServer", "FtpUser", "scanner");
    settings->WriteString("FtpServer", "FtpPassword", "Pa55word");
    ConfigureLogging(*settings);
    platform::SetMessageBoxPresenter([this](const platform::MessageBoxRequest& request) { shown.push_back(request); });
  }
  ~XeroxConfiguration() override {
    platform::SetMessageBoxPresenter(nullptr);
    ShutdownLogging();
  }

  void Configure() { ConfigureXeroxDevice(holder, logger, *settings); }
  std::string Log() const { return test_support::ScopedEnvironment::ReadFile(settings->GetLogFilePath()); }
  std::filesystem::path Folder(const std::string& name) const { return environment.Root() / name; }

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  XeroxConnectorHolder holder;
  Logger logger{"Velloran", "Velloran"};
  std::vector<platform::MessageBoxRequest> shown;
};

struct AttemptCase {
  const char* name;
  std::string acceptedPath;
  std::vector<std::string> firstRequests;  // what the first configuration asks, in order
  const char* storedPattern;
};

const AttemptCase kAttemptCases[] = {
    {"WithTrailingSlash", kWithSlash,
     {"ListTemplatesRequest " + kWithSlash, "PutTemplateRequest " + kWithSlash},
     "https://%s/webservices/office/template_management/1/"},
    {"WithoutTrailingSlash", kWithoutSlash,
     {"- " + kWithSlash, "ListTemplatesRequest " + kWithoutSlash, "PutTemplateRequest " + kWithoutSlash},
     "https://%s/webservices/office/template_management/1"},
};

class EndpointAttempts : public XeroxConfiguration, public ::testing::WithParamInterface<AttemptCase> {};

// The pattern that worked is stored, and the next configuration goes straight to it.
TEST_P(EndpointAttempts, StoreThePatternThatWorked) {
  XeroxDevice device(Folder("device"), Accepting({GetParam().acceptedPath}));
  settings->SetMfpName(device.Name());
  Configure();
  EXPECT_EQ(device.Requests(), GetParam().firstRequests);
  EXPECT_EQ(settings->GetMFPServiceEndPointTemplate(), GetParam().storedPattern);
  ASSERT_EQ(device.Templates().size(), 1u);
  auto fields = test_support::TemplateFields(device.Templates()[0]);
  EXPECT_EQ(fields["RepositoryName"], "192.0.2.7:2121") << "GetFtpServerAddress";
  EXPECT_EQ(fields["UserNetworkFilingLoginName"], "scanner");
  EXPECT_EQ(fields["UserNetworkFilingLoginID"], "Pa55word");
  EXPECT_EQ(settings->ReadString("MFP", "LastMfpName", ""), device.Name());
  EXPECT_EQ(settings->ReadString("MFP", "LastMfpTemplateName", ""), platform::WideToNarrow(CXeroxConnector::CreateTemplateName()));
  EXPECT_NE(settings->ReadString("MFP", "LastMfpTemplateChecksum", "0"), "0");

  const size_t before = device.Requests().size();
  Configure();
  const std::vector<std::string> all = device.Requests();
  const std::vector<std::string> second(all.begin() + static_cast<long>(before), all.end());
  EXPECT_THAT(second, ElementsAre("ListTemplatesRequest " + GetParam().acceptedPath,
                                  "DeleteTemplateRequest " + GetParam().acceptedPath,
                                  "PutTemplateRequest " + GetParam().acceptedPath));
  EXPECT_THAT(Log(), HasSubstr("XeroxConnector configuration was set at 0 iteration\n"));
}

INSTANTIATE_TEST_SUITE_P(Device, EndpointAttempts, ::testing::ValuesIn(kAttemptCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(XeroxConfiguration, ADeviceRefusingEveryPatternGivesTheLastFailure) {
  XeroxDevice device(Folder("device"), Accepting({"/nowhere"}));
  settings->SetMfpName(device.Name());
  settings->SetMFPServiceEndPointTemplate("https://%s/custom");
  try {
    Configure();
    FAIL() << "no exception";
  } catch (const XeroxException& failure) {
    EXPECT_EQ(failure.GetError(), kXeroxHttpError);
    EXPECT_THAT(platform::WideToNarrow(failure.GetDescription()), HasSubstr(device.Url(kWithoutSlash) + " answered ListTemplates with HTTP 404"));
  }
  EXPECT_THAT(device.Requests(), ElementsAre("- /custom", "- " + kWithSlash, "- " + kWithoutSlash));
  EXPECT_EQ(settings->GetMFPServiceEndPointTemplate(), "https://%s/custom") << "kept";
}

// A failure that is not the connector's ends the configuration at attempt 0.
TEST_F(XeroxConfiguration, AnotherExceptionAtAttemptZeroStopsAtOnce) {
  XeroxDevice device(Folder("device"), Accepting({"/custom", kWithSlash, kWithoutSlash}));
  settings->SetMfpName(device.Name());
  settings->SetMFPServiceEndPointTemplate("https://%s/custom");
  settings->WriteString("FtpServer", "FtpUser", "\xFF\xFE");  // no text: the conversion throws
  EXPECT_THROW(Configure(), platform::StringConversionError);
  EXPECT_THAT(device.Requests(), IsEmpty());
  EXPECT_THAT(Log(), ::testing::Not(HasSubstr("configuration failed at")));
}

struct CheckCase {
  const char* name;
  const char* answer;  // the stand-in's answer; nullptr: nothing listens
  const char* text;
  const char* caption;
  platform::MessageIcon icon;
};

const CheckCase kCheckCases[] = {
    {"Connected", "normal", "Velloran has successfully connected to Xerox MFP.", "Successfully connected",
     platform::MessageIcon::Information},
    {"Unreachable", nullptr,
     "There is no connection to Xerox MFP device. Probably device does not support EIP or it is disabled.", "Error",
     platform::MessageIcon::Error},
    {"Fault", "fault", "Template storage is full", "Error", platform::MessageIcon::Error},
};

class CheckConnectionMessages : public XeroxConfiguration, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckConnectionMessages, TellHowItWent) {
  std::unique_ptr<XeroxDevice> device;
  const test_support::LoopbackPort closed(/*listen=*/false);
  if (GetParam().answer) {
    // Both patterns answer, so the last attempt's failure is the device's own.
    XeroxDeviceOptions options = Accepting({kWithSlash, kWithoutSlash});
    options.answer = GetParam().answer;
    device = std::make_unique<XeroxDevice>(Folder("device"), options);
  }
  settings->SetMfpName(device ? device->Name() : "127.0.0.1:" + std::to_string(closed.Port()));
  CheckConnection(*settings);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, GetParam().text);
  EXPECT_EQ(shown[0].caption, GetParam().caption);
  EXPECT_EQ(shown[0].icon, GetParam().icon);
}

INSTANTIATE_TEST_SUITE_P(Device, CheckConnectionMessages, ::testing::ValuesIn(kCheckCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(XeroxConfiguration, CheckConnectionReportsAnotherFailureAsNoConnection) {
  settings->SetMfpName("127.0.0.1:1");
  settings->SetMFPServiceEndPointTemplate("https://%s/custom");
  settings->WriteString("FtpServer", "FtpPassword", "\xC0");
  CheckConnection(*settings);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "There is no connection to Xerox MFP device. Probably device doesn't support EIP or it is disabled.");
  EXPECT_THAT(Log(), HasSubstr("ERROR ScanSettingsTab: CheckConnection: Unexpected error in Xerox connector\n"));
}

// The certificate met at the first contact is kept in the settings; a device showing another
// one is refused with the way to accept it, and accepted once its key is deleted.
TEST_F(XeroxConfiguration, TheDevicesCertificateIsPinnedInTheSettings) {
  {
    XeroxDevice first(Folder("first"));
    settings->SetMfpName(first.Name());
    CheckConnection(*settings);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.back().caption, "Successfully connected");
  }
  const std::string pinned = settings->ReadString(MfpCertificatePins::kSection, "127.0.0.1", "");
  EXPECT_THAT(pinned, ::testing::MatchesRegex("sha256:[0-9A-F]{64}"));

  XeroxDevice replaced(Folder("replaced"));
  settings->SetMfpName(replaced.Name());
  CheckConnection(*settings);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_THAT(shown.back().text, HasSubstr("is not the one it showed at the first contact"));
  EXPECT_THAT(shown.back().text, HasSubstr("delete the key 127.0.0.1 in section [MfpCertificates] of " +
                                           settings->GetSettingsFilePath()));
  EXPECT_THAT(replaced.Requests(), IsEmpty());

  settings->WriteString(MfpCertificatePins::kSection, "127.0.0.1", "");
  CheckConnection(*settings);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown.back().caption, "Successfully connected");
  EXPECT_NE(settings->ReadString(MfpCertificatePins::kSection, "127.0.0.1", ""), pinned);
}

struct ScanStartCase {
  const char* name;
  int mode;
  std::vector<std::string> accept;
  bool starts;
  std::vector<std::string> requests;
  const char* message;  // the message box, when one is shown
};

const ScanStartCase kScanStartCases[] = {
    {"Mode2NeverContactsTheDevice", 2, {kWithSlash}, true, {}, nullptr},
    {"Mode4PutsTheTemplate", 4, {kWithSlash}, true, {"ListTemplatesRequest " + kWithSlash, "PutTemplateRequest " + kWithSlash}, nullptr},
    {"Mode4RefusedStopsTheScan", 4, {}, false, {"- " + kWithSlash, "- " + kWithoutSlash}, "HTTP 404"},
};

class XeroxScanStart : public XeroxConfiguration, public ::testing::WithParamInterface<ScanStartCase> {};

TEST_P(XeroxScanStart, PutsTheTemplateOnlyWhenTheModeAsks) {
  XeroxDevice device(Folder("device"), Accepting(GetParam().accept));
  settings->SetMode(GetParam().mode);
  settings->SetMfpName(device.Name());
  EXPECT_EQ(PrepareXeroxScan(holder, *settings), GetParam().starts);
  EXPECT_EQ(device.Requests(), GetParam().requests);
  if (!GetParam().message) {
    EXPECT_THAT(shown, IsEmpty());
    return;
  }
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_THAT(shown[0].text, HasSubstr(GetParam().message));
  EXPECT_EQ(shown[0].caption, "Error");
  EXPECT_THAT(Log(), HasSubstr("ERROR Velloran: Error in Xerox connector: Error = " +
                               std::to_string(static_cast<int>(kXeroxHttpError)) + " Description = "));
}

INSTANTIATE_TEST_SUITE_P(Modes, XeroxScanStart, ::testing::ValuesIn(kScanStartCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
