#include <gtest/gtest.h>

#include <string>

#include "ScanTemplateWriter.h"
#include "support/XeroxDevice.h"

namespace {

using xerox::ScanTemplateOptions;
using xerox::WriteScanTemplate;

ScanTemplateOptions Options() {
  ScanTemplateOptions options;
  options.templateName = "velloran_pc.xst";
  options.ftpAddress = "192.168.1.20:888";
  options.user = "scanner";
  options.password = "<Pa&55'>";
  return options;
}

struct ValueCase {
  const char* name;
  int32_t resolution, bitDepth, orientation, paperSize;
  bool duplex;
  const char* expectedResolution;
  const char* colorMode;
  const char* orientationName;
  const char* mediaSize;
  const char* sides;
};

const ValueCase kValueCases[] = {
    {"BlackWhiteLetterPortrait", 200, 1, 0, 3, false, "RES_200X200", "BLACK_AND_WHITE", "PORTRAIT", "NA_8.5x11SEF", "ONE_SIDED"},
    {"GreyA4LandscapeDuplex", 100, 8, 1, 1, true, "RES_100X100", "GRAYSCALE", "LANDSCAPE", "ISO_A4SEF", "TWO_SIDED"},
    {"ColourRemotePageLandscape", 600, 24, 3, 3, false, "RES_600X600", "FULL_COLOR", "LANDSCAPE", "NA_8.5x11SEF", "ONE_SIDED"},
};

class TemplateValues : public ::testing::TestWithParam<ValueCase> {};

// Every scan option and the FTP destination reach their fields; strings keep every character.
TEST_P(TemplateValues, CarryEveryOptionAndTheDestination) {
  const ValueCase& c = GetParam();
  ScanTemplateOptions options = Options();
  options.resolution = c.resolution;
  options.bitDepth = c.bitDepth;
  options.orientation = c.orientation;
  options.paperSize = c.paperSize;
  options.duplex = c.duplex;
  std::string error;
  const auto text = WriteScanTemplate(options, error);
  ASSERT_TRUE(text) << error;
  auto fields = test_support::TemplateFields(*text);
  EXPECT_EQ(fields["Resolution"], c.expectedResolution);
  EXPECT_EQ(fields["ColorMode"], c.colorMode);
  EXPECT_EQ(fields["InputOrientation"], c.orientationName);
  EXPECT_EQ(fields["InputMediaSize"], c.mediaSize);
  EXPECT_EQ(fields["SidesToScan"], c.sides);
  EXPECT_EQ(fields["FilingProtocol"], "FTP");
  EXPECT_EQ(fields["RepositoryName"], "192.168.1.20:888");
  EXPECT_EQ(fields["DocumentPath"], "/");
  EXPECT_EQ(fields["UserNetworkFilingLoginName"], "scanner");
  EXPECT_EQ(fields["UserNetworkFilingLoginID"], "<Pa&55'>");
  EXPECT_EQ(fields["JobTemplateName"], "velloran_pc.xst");
  EXPECT_EQ(fields["DocumentFormat"], "TIFF_V6") << "a format the source reads";
  for (const char* section : {"[service xrx_svc_general]", "[service xrx_svc_scan]", "[service xrx_svc_file]",
                              "[doc_object xrx_document]"}) {
    EXPECT_NE(text->find(section), std::string::npos) << section;
  }
}

INSTANTIATE_TEST_SUITE_P(Options, TemplateValues, ::testing::ValuesIn(kValueCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
  const char* name;
  void (*change)(ScanTemplateOptions&);
  const char* reason;
};

const RefusedCase kRefusedCases[] = {
    {"QuoteInPassword", [](ScanTemplateOptions& o) { o.password = "a\"b"; }, "FTP password"},
    {"BackslashInUser", [](ScanTemplateOptions& o) { o.user = "dom\\user"; }, "FTP user"},
    {"LineBreakInAddress", [](ScanTemplateOptions& o) { o.ftpAddress = "h:1\r\n* string X = \"y\""; }, "FTP address"},
    {"EmptyAddress", [](ScanTemplateOptions& o) { o.ftpAddress.clear(); }, "must not be empty"},
    {"ResolutionBetweenSteps", [](ScanTemplateOptions& o) { o.resolution = 250; }, "resolution 250"},
    {"ResolutionTooHigh", [](ScanTemplateOptions& o) { o.resolution = 1200; }, "resolution 1200"},
    {"BitDepth4", [](ScanTemplateOptions& o) { o.bitDepth = 4; }, "bit depth 4"},
    {"PaperSizeNone", [](ScanTemplateOptions& o) { o.paperSize = 0; }, "paper size 0"},
    {"Orientation2", [](ScanTemplateOptions& o) { o.orientation = 2; }, "orientation 2"},
};

class RefusedTemplates : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTemplates, NameTheValue) {
  ScanTemplateOptions options = Options();
  GetParam().change(options);
  std::string error;
  EXPECT_FALSE(WriteScanTemplate(options, error));
  EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Options, RefusedTemplates, ::testing::ValuesIn(kRefusedCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
