// Capability negotiation as an application sees it: every call goes through the test manager
// into velloran.ds.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "capabilities/ContainerReader.h"
#include "platform/Module.h"
#include "support/BuildPaths.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "support/TwainSession.h"

namespace {

using test_support::ScopedEnvironment;
using test_support::TestDsm;
using test_support::TwainSession;

// OpenMP's runtime, which the camera raw decoder brings in, allocates in its constructor and
// never frees that. When velloran.ds alone holds the runtime, each unload takes it along and
// the leak checker finds the blocks orphaned. Kept loaded here, as any application using OpenMP
// keeps it, so that leak detection stays on for velloran.ds's own memory.
[[maybe_unused]] void* const g_openMpRuntime = dlopen("libgomp.so.1", RTLD_NOW | RTLD_NODELETE);

struct Reply {
  TW_UINT16 result = TWRC_FAILURE;
  TW_UINT16 condition = TWCC_SUCCESS;  // the source's DAT_STATUS after a failure
  DecodedContainer container;
};

// The values every capability of the catalogue must show on a fresh source.
struct CatalogueRow {
  const char* name;
  TW_UINT16 id;
  TW_UINT16 itemType;
  TW_UINT16 getKind;
  TW_UINT16 currentKind;
  TW_UINT32 mask;
  std::vector<double> supported;
  std::vector<double> defaults;
};

constexpr TW_UINT16 kOne = TWON_ONEVALUE;
constexpr TW_UINT16 kEnum = TWON_ENUMERATION;
constexpr TW_UINT16 kArray = TWON_ARRAY;
const std::vector<double> kTrueFalse = {1, 0};
const std::vector<double> kResolutions = {100, 200, 300, 400, 500, 600};
const std::vector<double> kSupportedCaps = {
    0x1005, 0x0001, 0x100E, 0x0103, 0x0102, 0x1118, 0x1119, 0x1002, 0x1014, 0x0101,
    0x112B, 0x111F, 0x111C, 0x1120, 0x1122, 0x1110, 0x100F, 0x0100, 0x1111, 0x1112,
    0x1003, 0x1007, 0x1010, 0x1008, 0x1009, 0x100A, 0x1006, 0x1103, 0x1101, 0x1012};

const CatalogueRow kCatalogue[] = {
    {"XferCount", CAP_XFERCOUNT, TWTY_INT16, kOne, kOne, 31, {-1, 1}, {-1}},
    {"Compression", ICAP_COMPRESSION, TWTY_UINT16, kEnum, kOne, 31, {0}, {0}},
    {"PixelType", ICAP_PIXELTYPE, TWTY_UINT16, kEnum, kOne, 31, {0, 1, 2, 3}, {2}},
    {"Units", ICAP_UNITS, TWTY_UINT16, kEnum, kOne, 31, {0}, {0}},
    {"XferMech", ICAP_XFERMECH, TWTY_UINT16, kEnum, kOne, 31, {0, 1, 2}, {0}},
    {"FeederEnabled", CAP_FEEDERENABLED, TWTY_BOOL, kOne, kOne, 31, kTrueFalse, {1}},
    {"FeederLoaded", CAP_FEEDERLOADED, TWTY_BOOL, kOne, kOne, 13, kTrueFalse, {1}},
    {"SupportedCaps", CAP_SUPPORTEDCAPS, TWTY_UINT16, kArray, kArray, 13, kSupportedCaps, kSupportedCaps},
    {"ExtendedCaps", CAP_EXTENDEDCAPS, TWTY_UINT16, kArray, kArray, 13, {0x1008, 0x1009, 0x100A},
     {0x1008, 0x1009, 0x100A}},
    {"AutoFeed", CAP_AUTOFEED, TWTY_BOOL, kOne, kOne, 31, kTrueFalse, {1}},
    {"ClearPage", CAP_CLEARPAGE, TWTY_BOOL, kOne, kOne, 31, kTrueFalse, {0}},
    {"FeedPage", CAP_FEEDPAGE, TWTY_BOOL, kOne, kOne, 31, kTrueFalse, {1}},
    {"RewindPage", CAP_REWINDPAGE, TWTY_BOOL, kOne, kOne, 31, kTrueFalse, {0}},
    {"UiControllable", CAP_UICONTROLLABLE, TWTY_BOOL, kOne, kOne, 13, kTrueFalse, {1}},
    {"DeviceOnline", CAP_DEVICEONLINE, TWTY_BOOL, kOne, kOne, 13, {1}, {1}},
    {"AutoScan", CAP_AUTOSCAN, TWTY_BOOL, kOne, kOne, 31, kTrueFalse, {1}},
    {"Duplex", CAP_DUPLEX, TWTY_UINT16, kOne, kOne, 31, {0}, {0}},
    {"EnableDsUiOnly", CAP_ENABLEDSUIONLY, TWTY_BOOL, kOne, kOne, 13, {0}, {0}},
    {"Brightness", ICAP_BRIGHTNESS, TWTY_FIX32, kEnum, kOne, 31, {0.0}, {0.0}},
    {"Contrast", ICAP_CONTRAST, TWTY_FIX32, kEnum, kOne, 31, {0.0}, {0.0}},
    {"Orientation", ICAP_ORIENTATION, TWTY_UINT16, kEnum, kEnum, 31, {0, 3}, {0}},
    {"PhysicalWidth", ICAP_PHYSICALWIDTH, TWTY_FIX32, kOne, kOne, 13, {8.5}, {8.5}},
    {"PhysicalHeight", ICAP_PHYSICALHEIGHT, TWTY_FIX32, kOne, kOne, 13, {11.0}, {11.0}},
    {"XResolution", ICAP_XRESOLUTION, TWTY_FIX32, kEnum, kOne, 31, kResolutions, {300}},
    {"YResolution", ICAP_YRESOLUTION, TWTY_FIX32, kEnum, kOne, 31, kResolutions, {300}},
    {"BitOrder", ICAP_BITORDER, TWTY_UINT16, kOne, kOne, 31, {1}, {1}},
    {"PixelFlavor", ICAP_PIXELFLAVOR, TWTY_UINT16, kEnum, kOne, 31, {0, 1}, {0}},
    {"PlanarChunky", ICAP_PLANARCHUNKY, TWTY_UINT16, kEnum, kEnum, 31, {1}, {1}},
    {"SupportedSizes", ICAP_SUPPORTEDSIZES, TWTY_UINT16, kEnum, kEnum, 31, {0, 3}, {0}},
    {"BitDepth", ICAP_BITDEPTH, TWTY_UINT16, kEnum, kOne, 31, {1, 8, 24}, {24}},
};

// An application with the source open. The capability values belong to the loaded library, so
// the fixture resets every capability that can be reset before each test.
class Negotiation : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
    ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
    for (const CatalogueRow& row : kCatalogue) {
      if (row.mask == 31) {
        ASSERT_EQ(Send(MSG_RESET, row.id).result, TWRC_SUCCESS) << row.name;
      }
    }
  }

  Reply Send(TW_UINT16 msg, TW_UINT16 id, TW_UINT16 conType = TWON_DONTCARE16, TW_HANDLE container = nullptr) {
    TW_CAPABILITY capability{id, conType, container};
    Reply reply;
    reply.result = app.Send(DG_CONTROL, DAT_CAPABILITY, msg, &capability);
    if (reply.result == TWRC_FAILURE) {
      reply.condition = app.SourceCondition();
      return reply;
    }
    // A set leaves the application's own container; everything else hands over a new one.
    if (msg != MSG_SET) reply.container = TakeContainer(capability);
    return reply;
  }

  Reply SetOne(TW_UINT16 id, TW_UINT16 itemType, TW_UINT32 field) {
    TW_HANDLE block = MakeOneValue(itemType, field);
    Reply reply = Send(MSG_SET, id, TWON_ONEVALUE, block);
    std::free(block);
    return reply;
  }

  ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  std::optional<platform::Module> keptLoaded;  // released after the application and the manager
  TestDsm dsm;
  TwainSession app{dsm};
};

class CatalogueAsSeen : public Negotiation, public testing::WithParamInterface<CatalogueRow> {};

TEST_P(CatalogueAsSeen, EveryMessageAnswersTheCatalogueValues) {
  const CatalogueRow& row = GetParam();
  const TW_UINT32 defaultIndex = [&] {
    for (TW_UINT32 i = 0; i < row.supported.size(); ++i) {
      if (row.supported[i] == row.defaults[0]) return i;
    }
    return TW_UINT32(row.supported.size());
  }();

  const Reply query = Send(MSG_QUERYSUPPORT, row.id);
  ASSERT_EQ(query.result, TWRC_SUCCESS);
  EXPECT_EQ(query.container.conType, TWON_ONEVALUE);
  EXPECT_EQ(query.container.itemType, TWTY_INT32);
  EXPECT_EQ(query.container.oneValueField, row.mask);

  const Reply get = Send(MSG_GET, row.id);
  ASSERT_EQ(get.result, TWRC_SUCCESS);
  EXPECT_EQ(get.container.conType, row.getKind);
  EXPECT_EQ(get.container.itemType, row.itemType);
  // A one-value MSG_GET shows the current value only.
  EXPECT_EQ(get.container.items, row.getKind == kOne ? row.defaults : row.supported);
  if (row.getKind == kEnum) {
    EXPECT_EQ(get.container.currentIndex, defaultIndex);
    EXPECT_EQ(get.container.defaultIndex, defaultIndex);
  }

  for (TW_UINT16 msg : {MSG_GETCURRENT, MSG_GETDEFAULT}) {
    SCOPED_TRACE(msg);
    const Reply reply = Send(msg, row.id);
    ASSERT_EQ(reply.result, TWRC_SUCCESS);
    EXPECT_EQ(reply.container.conType, row.currentKind);
    EXPECT_EQ(reply.container.itemType, row.itemType);
    EXPECT_EQ(reply.container.items, row.defaults);
    if (row.currentKind == kEnum) {
      EXPECT_EQ(reply.container.currentIndex, 0u);
      EXPECT_EQ(reply.container.defaultIndex, 0u);
    }
  }

  if (row.mask == 31) {
    // Setting the value it already holds, then resetting, answers like MSG_GETDEFAULT.
    if (row.currentKind == kOne) {
      TW_UINT32 field = static_cast<TW_UINT32>(static_cast<TW_INT32>(row.defaults[0])) & 0xFFFF;
      if (row.itemType == TWTY_FIX32) field = Fix32Field(row.defaults[0]);
      EXPECT_EQ(SetOne(row.id, row.itemType, field).result, TWRC_SUCCESS);
    }
    const Reply reset = Send(MSG_RESET, row.id);
    ASSERT_EQ(reset.result, TWRC_SUCCESS);
    EXPECT_EQ(reset.container.conType, row.currentKind);
    EXPECT_EQ(reset.container.items, row.defaults);
  } else {
    // Read-only: MSG_SET and MSG_RESET are refused, whatever the container.
    TW_HANDLE block = MakeOneValue(row.itemType, 0);
    EXPECT_EQ(Send(MSG_SET, row.id, TWON_ONEVALUE, block).condition, TWCC_CAPBADOPERATION);
    std::free(block);
    EXPECT_EQ(Send(MSG_RESET, row.id).condition, TWCC_CAPBADOPERATION);
    EXPECT_EQ(Send(MSG_GETCURRENT, row.id).container.items, row.defaults);
  }
}

INSTANTIATE_TEST_SUITE_P(AllThirty, CatalogueAsSeen, testing::ValuesIn(kCatalogue),
                         [](const testing::TestParamInfo<CatalogueRow>& info) { return std::string(info.param.name); });

TEST_F(Negotiation, TransferCountMinusOneTravelsAsSixteenBits) {
  const Reply get = Send(MSG_GET, CAP_XFERCOUNT);
  ASSERT_EQ(get.result, TWRC_SUCCESS);
  EXPECT_EQ(get.container.oneValueField, 0x0000FFFFu);

  ASSERT_EQ(SetOne(CAP_XFERCOUNT, TWTY_INT16, 3).result, TWRC_SUCCESS);
  EXPECT_EQ(Send(MSG_GETCURRENT, CAP_XFERCOUNT).container.oneValueField, 3u);
}

TEST_F(Negotiation, SetAcceptsAnUnofferedValueAndReportsItBack) {
  ASSERT_EQ(SetOne(ICAP_XRESOLUTION, TWTY_FIX32, Fix32Field(150.0)).result, TWRC_SUCCESS);
  EXPECT_EQ(Send(MSG_GETCURRENT, ICAP_XRESOLUTION).container.items, std::vector<double>{150.0});
  EXPECT_EQ(Send(MSG_GETCURRENT, ICAP_YRESOLUTION).container.items, std::vector<double>{300.0});

  // The enumeration still names the current value at CurrentIndex.
  const DecodedContainer get = Send(MSG_GET, ICAP_XRESOLUTION).container;
  ASSERT_LT(get.currentIndex, get.items.size());
  EXPECT_EQ(get.items[get.currentIndex], 150.0);
  EXPECT_EQ(get.items[get.defaultIndex], 300.0);
}

TEST_F(Negotiation, SetWithAnEnumerationChangesNothing) {
  // A constraint the source does not apply; the block is not even looked at.
  EXPECT_EQ(Send(MSG_SET, ICAP_PIXELTYPE, TWON_ENUMERATION, nullptr).result, TWRC_SUCCESS);
  EXPECT_EQ(Send(MSG_GETCURRENT, ICAP_PIXELTYPE).container.items, std::vector<double>{TWPT_RGB});
}

TEST_F(Negotiation, SetWithAnotherItemTypeIsABadValue) {
  const Reply reply = SetOne(ICAP_XRESOLUTION, TWTY_UINT16, 150);
  EXPECT_EQ(reply.result, TWRC_FAILURE);
  EXPECT_EQ(reply.condition, TWCC_BADVALUE);
  EXPECT_EQ(Send(MSG_GETCURRENT, ICAP_XRESOLUTION).container.items, std::vector<double>{300.0});
}

TEST_F(Negotiation, ResetBringsTheBitDepthBack) {
  ASSERT_EQ(SetOne(ICAP_BITDEPTH, TWTY_UINT16, 8).result, TWRC_SUCCESS);
  EXPECT_EQ(Send(MSG_GETCURRENT, ICAP_BITDEPTH).container.items, std::vector<double>{8});

  const Reply reset = Send(MSG_RESET, ICAP_BITDEPTH);
  ASSERT_EQ(reset.result, TWRC_SUCCESS);
  EXPECT_EQ(reset.container.conType, TWON_ONEVALUE);
  EXPECT_EQ(reset.container.items, std::vector<double>{24});
  EXPECT_EQ(Send(MSG_GETCURRENT, ICAP_BITDEPTH).container.items, std::vector<double>{24});
}

TEST_F(Negotiation, CapabilitiesNotOfferedAndMessagesNotKnownFail) {
  for (TW_UINT16 id : {ICAP_IMAGEFILEFORMAT, ICAP_FRAMES, ICAP_THRESHOLD, CAP_INDICATORS, CAP_DUPLEXENABLED}) {
    SCOPED_TRACE(id);
    const Reply reply = Send(MSG_GET, id);
    EXPECT_EQ(reply.result, TWRC_FAILURE);
    EXPECT_EQ(reply.condition, TWCC_CAPUNSUPPORTED);
  }
  EXPECT_EQ(Send(MSG_GETHELP, ICAP_PIXELTYPE).condition, TWCC_BADPROTOCOL);
  EXPECT_EQ(app.Send(DG_CONTROL, DAT_CAPABILITY, MSG_GET, nullptr), TWRC_FAILURE);
  EXPECT_NE(app.SourceCondition(), TWCC_SUCCESS);
}

// Applications of protocol 1.5 and older are told TWCC_BADCAP instead of the newer codes.
class OldApplication : public Negotiation {
 protected:
  void SetUp() override {
    app.App().ProtocolMajor = 1;
    app.App().ProtocolMinor = 5;
    app.App().SupportedGroups = DG_CONTROL | DG_IMAGE;
    Negotiation::SetUp();
  }
};

TEST_F(OldApplication, GetsBadCapForTheCapabilityCodesOnly) {
  EXPECT_EQ(Send(MSG_GET, ICAP_IMAGEFILEFORMAT).condition, TWCC_BADCAP);
  TW_HANDLE block = MakeOneValue(TWTY_UINT16, 0);
  EXPECT_EQ(Send(MSG_SET, CAP_SUPPORTEDCAPS, TWON_ONEVALUE, block).condition, TWCC_BADCAP);
  std::free(block);
  EXPECT_EQ(SetOne(ICAP_XRESOLUTION, TWTY_UINT16, 150).condition, TWCC_BADVALUE);
  EXPECT_EQ(Send(MSG_GETHELP, ICAP_PIXELTYPE).condition, TWCC_BADPROTOCOL);
}

// The manager unloads the source when the application closes it; an application that keeps the
// library loaded keeps the driver object, its capabilities and their values.
class KeptLoaded : public Negotiation {
 protected:
  void SetUp() override {
    settings->SetLoggerEnabled(true);
    keptLoaded = platform::Module::Load(test_support::VelloranDsPath());
    ASSERT_TRUE(keptLoaded->IsLoaded());
    Negotiation::SetUp();
  }
};

TEST_F(KeptLoaded, ValuesOutliveTheSessionAndTheCapabilitiesAreKept) {
  ASSERT_EQ(SetOne(CAP_XFERCOUNT, TWTY_INT16, 3).result, TWRC_SUCCESS);
  ASSERT_EQ(app.CloseSource(), TWRC_SUCCESS);
  ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
  EXPECT_EQ(Send(MSG_GETCURRENT, CAP_XFERCOUNT).container.items, std::vector<double>{3});
  EXPECT_EQ(Send(MSG_GET, ICAP_IMAGEFILEFORMAT).condition, TWCC_CAPUNSUPPORTED);

  const std::string log = ScopedEnvironment::ReadFile(settings->GetLogFilePath());
  EXPECT_NE(log.find("DEBUG Velloran: Added capability: 0x1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("DEBUG Velloran: Capability already exist: 0x1\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Added capability: 0x1005"), std::string::npos) << log;
  EXPECT_NE(log.find("DEBUG Capabilities: TWON_ONEVALUE CapId: 0x1 Value: 0x3 Size: 2\n"), std::string::npos) << log;
  EXPECT_NE(log.find("DEBUG TwainDriver: Message: MSG_SET Capability ID: 0x1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR TwainDriver: Message: MSG_GET There is no capability with ID: 0x110c\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("ERROR TwainDriver: General failure in response to DAT_CAPS.  Capability not supported by source.\n"),
            std::string::npos)
      << log;
}

}  // namespace
