// Xerox MFP scans end to end: velloran.ds through the test manager, the stand-in device's template
// service over HTTPS on loopback, and the stand-in filing its scan job to the source's FTP server
// as the template tells it to.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "network/MfpScanFixture.h"
#include "support/ShellQuoted.h"
#include "support/XeroxDevice.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using test_support::XeroxDevice;
using test_support::XeroxDeviceOptions;

constexpr const char* kEndOfJob = "XEROXFINISHEDMARKER.MRK";
const std::string kServicePath = test_support::kTemplatePath;

class XeroxScan : public mfp_test::MfpScan {
 protected:
  // Processing mode 1: pages are offered once the job has ended, so the device's own end-of-job
  // file is what starts the batch.
  void ConfigureFor(const XeroxDevice& device, int mode) {
    Configure(/*processingMode=*/1, /*timeoutMs=*/0);
    settings->SetMode(mode);
    settings->SetMfpName(device.Name());
    settings->WriteString("FtpServer", "FtpServer", "127.0.0.1");
  }

  // A job as the device files it: one TIFF of two pages of different widths, made by ImageMagick.
  std::string TwoPageTiff() const {
    const std::string path = (environment.Root() / "job.tif").string();
    const std::string command =
        "convert -size 40x10 xc:red -size 50x10 xc:blue " + test_support::ShellQuoted(path);
    return std::system(command.c_str()) == 0 ? path : "";
  }

  // The device has answered every request sent before this one once this one is recorded.
  static bool SendSentinel(const XeroxDevice& device) {
    const std::string command = "curl -s -k --max-time 20 -o /dev/null --data '<sentinel/>' " +
                                test_support::ShellQuoted(device.Url("/sentinel"));
    return std::system(command.c_str()) == 0;
  }
};

// Mode 4 from MSG_ENABLEDS to pages: the template is put, the device files its job to the address
// in it, and the application receives the job's pages in order.
TEST_F(XeroxScan, Mode4JobFiledByTheDeviceReachesTheApplication) {
  const std::string job = TwoPageTiff();
  ASSERT_FALSE(job.empty()) << "convert failed";
  XeroxDeviceOptions options;
  options.scan = {job};
  XeroxDevice device(environment.Root() / "device", options);
  ConfigureFor(device, 4);
  OpenAndEnable();
  ASSERT_TRUE(WaitForReceived(1)) << Log();
  EXPECT_THAT(app.Received(), ElementsAre(MSG_XFERREADY));
  // The device notes a file as sent once its upload has ended, which may be after the source
  // has acted on it.
  ASSERT_TRUE(session_test::WaitUntil([&] { return device.ScanLog().size() >= 2; }));
  EXPECT_THAT(device.ScanLog(), ElementsAre("sent job.tif", std::string("sent ") + kEndOfJob));
  EXPECT_EQ(OfferedWidth(), 40);
  ASSERT_TRUE(NativeTransfer());
  EXPECT_EQ(EndXfer(), -1);
  EXPECT_EQ(OfferedWidth(), 50);
  ASSERT_TRUE(NativeTransfer());
  EXPECT_EQ(EndXfer(), 0) << "the end-of-job file ended the batch";
  EXPECT_THAT(device.Requests(), ElementsAre("ListTemplatesRequest " + kServicePath + "/",
                                             "PutTemplateRequest " + kServicePath + "/"));
  EXPECT_TRUE(Disable());
}

// A device that refuses every endpoint: the user sees its answer, the application is asked to
// close, and no FTP server ever started (no scan folder, nothing on the port).
TEST_F(XeroxScan, Mode4RefusedEverywhereAsksToCloseAndStartsNoServer) {
  XeroxDeviceOptions options;
  options.accept = {};
  XeroxDevice device(environment.Root() / "device", options);
  ConfigureFor(device, 4);
  OpenAndEnable();
  EXPECT_THAT(app.Received(), ElementsAre(MSG_CLOSEDSREQ));
  EXPECT_THAT(device.Requests(), ElementsAre("- " + kServicePath + "/", "- " + kServicePath));
  EXPECT_THAT(Log(), HasSubstr("ERROR MessageBox: Error: The device at " + device.Url(kServicePath) +
                               " answered ListTemplates with HTTP 404"));
  EXPECT_FALSE(test_support::Listening(port));
  EXPECT_TRUE(!std::filesystem::exists(root) || std::filesystem::is_empty(root)) << "a scan folder was prepared";
}

// Mode 2 through a whole session, a scan uploaded by curl included: the device is never asked
// anything.
TEST_F(XeroxScan, Mode2NeverContactsTheDevice) {
  XeroxDevice device(environment.Root() / "device");
  ConfigureFor(device, 2);
  OpenAndEnable();
  ASSERT_TRUE(Upload(Page(21), "a.png"));
  ASSERT_TRUE(Upload(Text("end", ""), mfp_test::kMarker));
  ASSERT_TRUE(WaitForReceived(1));
  EXPECT_EQ(OfferedWidth(), 21);
  ASSERT_TRUE(NativeTransfer());
  EXPECT_EQ(EndXfer(), 0);
  ASSERT_TRUE(Disable());
  ASSERT_EQ(app.CloseSource(), TWRC_SUCCESS);
  ASSERT_EQ(app.CloseDsm(), TWRC_SUCCESS);
  ASSERT_TRUE(SendSentinel(device));
  EXPECT_THAT(device.Requests(), ElementsAre("- /sentinel"));
  EXPECT_THAT(device.Templates(), IsEmpty());
}

}  // namespace
