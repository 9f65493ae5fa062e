// Routing of triplets, the pending condition code and the identity, on a
// source inside the test process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InProcessSource.h"
#include "support/TripletValues.h"

namespace twain_test {
namespace {

class Dispatch : public InProcessSource {
 protected:
  void EnterState(int stateNumber) {
    if (stateNumber >= 4) {
      ASSERT_EQ(Open(), TWRC_SUCCESS);
    }
    if (stateNumber == 6) Source().NotifyXferReady();  // no manager here: only the state moves
    ASSERT_EQ(Source().State(), stateNumber * 100);
  }

  // Room for the largest structure a triplet carries.
  alignas(8) unsigned char data[2048] = {};
};

TEST_F(Dispatch, IdentityBeforeOpenIsTheConstructedOne) {
  TW_IDENTITY identity{};
  identity.Id = 99;
  ASSERT_EQ(Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
  EXPECT_EQ(TW_UINT32{identity.Id}, 0u);
  EXPECT_EQ(identity.Version.MajorNum, 5);
  EXPECT_EQ(identity.Version.MinorNum, 0);
  EXPECT_EQ(identity.Version.Language, TWLG_USA);
  EXPECT_EQ(identity.Version.Country, TWCY_USA);
  EXPECT_STREQ(identity.Version.Info, "Version 5,0,20,0");
  // 1.9, not 1.0: the 64-bit Linux manager refuses sources below 1.5.
  EXPECT_EQ(identity.ProtocolMajor, 1);
  EXPECT_EQ(identity.ProtocolMinor, 9);
  EXPECT_EQ(TW_UINT32{identity.SupportedGroups}, DG_CONTROL | DG_IMAGE);
  EXPECT_STREQ(identity.Manufacturer, "Oskaveld Software");
  EXPECT_STREQ(identity.ProductFamily, "Velloran");
  EXPECT_STREQ(identity.ProductName, "Oskaveld MFP Velloran");
}

struct ProductNameCase {
  int mode;
  const char* productName;
};

class ProductName : public InProcessSource, public ::testing::WithParamInterface<ProductNameCase> {};

TEST_P(ProductName, FollowsTheScanSourceOfMode) {
  settings->SetMode(GetParam().mode);
  TW_IDENTITY identity{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
  EXPECT_STREQ(identity.ProductName, GetParam().productName);
}

INSTANTIATE_TEST_SUITE_P(Modes, ProductName,
                         ::testing::Values(ProductNameCase{1, "Oskaveld Velloran"},
                                           ProductNameCase{9, "Oskaveld Velloran"},  // files on disk win
                                           ProductNameCase{8, "Oskaveld Remote Velloran"},
                                           ProductNameCase{2, "Oskaveld MFP Velloran"},
                                           ProductNameCase{4, "Oskaveld MFP Velloran"}),
                         [](const auto& info) { return "Mode" + std::to_string(info.param.mode); });

TEST_F(Dispatch, StatusHandsOutTheLastFailureOnceAndSuccessDoesNotClearIt) {
  TW_USERINTERFACE ui{TW_TRUE, TW_TRUE, nullptr};
  EXPECT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_FAILURE);
  TW_IDENTITY identity{};
  EXPECT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
  EXPECT_EQ(Condition(), TWCC_SEQERROR);
  EXPECT_EQ(Condition(), TWCC_SUCCESS);
}

TEST_F(Dispatch, OpenTakesTheManagersIdentityAndCloseFreesTheSource) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  TW_IDENTITY identity{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
  EXPECT_EQ(TW_UINT32{identity.Id}, kSourceId);
  EXPECT_EQ(TW_UINT32{Source().ApplicationIdentity().Id}, TW_UINT32{application.Id});
  EXPECT_STREQ(Source().ApplicationIdentity().ProductName, "First application");

  ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_SUCCESS);
  EXPECT_EQ(Source().State(), 300);
  TW_IDENTITY next = MakeIdentity(8, "Next application");
  EXPECT_EQ(Call(&next, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_SUCCESS);
}

struct RefusalCase {
  const char* name;
  int state;
  TW_UINT32 dg;
  TW_UINT16 dat;
  TW_UINT16 msg;
  TW_UINT16 condition;
};

class Refusal : public Dispatch, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusal, FailsWithItsConditionAndKeepsTheState) {
  const RefusalCase& c = GetParam();
  EnterState(c.state);
  EXPECT_EQ(Call(c.dg, c.dat, c.msg, data), TWRC_FAILURE);
  EXPECT_EQ(Source().State(), c.state * 100);
  EXPECT_EQ(Condition(), c.condition);
}

// Message checks come first for the identity, user interface, pending transfer,
// image info and palette triplets, the state check first for set-up and transfers.
INSTANTIATE_TEST_SUITE_P(
    Triplets, Refusal,
    ::testing::Values(
        RefusalCase{"EnableInState3", 3, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWCC_SEQERROR},
        RefusalCase{"EnableUiOnly", 4, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, TWCC_BADPROTOCOL},
        RefusalCase{"DisableInState4", 4, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWCC_SEQERROR},
        RefusalCase{"ImageLayout", 4, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, TWCC_BADPROTOCOL},
        RefusalCase{"EventWithoutProcessEvent", 4, DG_CONTROL, DAT_EVENT, MSG_GET, TWCC_BADPROTOCOL},
        RefusalCase{"Parent", 4, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, TWCC_BADPROTOCOL},
        RefusalCase{"XferGroup", 4, DG_CONTROL, DAT_XFERGROUP, MSG_GET, TWCC_BADPROTOCOL},
        RefusalCase{"CustomDsData", 4, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, TWCC_BADPROTOCOL},
        RefusalCase{"ExtImageInfo", 6, DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, TWCC_BADPROTOCOL},
        RefusalCase{"Audio", 6, DG_AUDIO, DAT_AUDIOINFO, MSG_GET, TWCC_BADPROTOCOL},
        RefusalCase{"ImageDatInControlGroup", 6, DG_CONTROL, DAT_IMAGEINFO, MSG_GET, TWCC_BADPROTOCOL},
        RefusalCase{"IdentitySet", 3, DG_CONTROL, DAT_IDENTITY, MSG_SET, TWCC_BADPROTOCOL},
        RefusalCase{"CloseInState3", 3, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, TWCC_SEQERROR},
        RefusalCase{"OpenTwice", 4, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, TWCC_MAXCONNECTIONS},
        RefusalCase{"StatusSet", 4, DG_CONTROL, DAT_STATUS, MSG_SET, TWCC_BADPROTOCOL},
        RefusalCase{"PendingInState3", 3, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, TWCC_SEQERROR},
        RefusalCase{"PendingWrongMessageInState3", 3, DG_CONTROL, DAT_PENDINGXFERS, MSG_SET, TWCC_BADPROTOCOL},
        RefusalCase{"EndXferInState4", 4, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, TWCC_SEQERROR},
        RefusalCase{"ResetInState4", 4, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, TWCC_SEQERROR},
        RefusalCase{"SetupMemInState3", 3, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, TWCC_SEQERROR},
        RefusalCase{"SetupMemWrongMessageInState3", 3, DG_CONTROL, DAT_SETUPMEMXFER, MSG_SET, TWCC_SEQERROR},
        RefusalCase{"SetupMemWrongMessageInState4", 4, DG_CONTROL, DAT_SETUPMEMXFER, MSG_SET, TWCC_BADPROTOCOL},
        RefusalCase{"SetupFileGetCurrent", 4, DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETCURRENT, TWCC_BADPROTOCOL},
        RefusalCase{"NativeInState4", 4, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWCC_SEQERROR},
        RefusalCase{"MemoryInState4", 4, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWCC_SEQERROR},
        RefusalCase{"FileInState4", 4, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, TWCC_SEQERROR},
        RefusalCase{"ImageInfoInState4", 4, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWCC_SEQERROR},
        RefusalCase{"ImageInfoWrongMessageInState4", 4, DG_IMAGE, DAT_IMAGEINFO, MSG_SET, TWCC_BADPROTOCOL},
        RefusalCase{"PaletteInState3", 3, DG_IMAGE, DAT_PALETTE8, MSG_GET, TWCC_SEQERROR},
        RefusalCase{"PaletteWrongMessageInState3", 3, DG_IMAGE, DAT_PALETTE8, MSG_SET, TWCC_BADPROTOCOL}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Dispatch, ProcessEventIsNeverTheSourcesAndToleratesNoEvent) {
  TW_EVENT event{};
  event.TWMessage = MSG_XFERREADY;
  EXPECT_EQ(Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
  EXPECT_EQ(event.TWMessage, MSG_NULL);
  EXPECT_EQ(Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, nullptr), TWRC_NOTDSEVENT);
  EXPECT_EQ(Condition(), TWCC_SUCCESS);
}

// Each message reaches its handler only under the group and type it belongs to: under any
// other the data is some other structure, perhaps smaller, and must be left alone.
struct ForeignMessageCase {
  const char* name;
  TW_UINT16 msg;
};

constexpr ForeignMessageCase kForeignMessages[] = {
    {"Null", MSG_NULL},
    {"Get", MSG_GET},
    {"GetCurrent", MSG_GETCURRENT},
    {"GetDefault", MSG_GETDEFAULT},
    {"GetFirst", MSG_GETFIRST},
    {"GetNext", MSG_GETNEXT},
    {"Set", MSG_SET},
    {"Reset", MSG_RESET},
    {"QuerySupport", MSG_QUERYSUPPORT},
    {"XferReady", MSG_XFERREADY},
    {"CloseDsReq", MSG_CLOSEDSREQ},
    {"OpenDsm", MSG_OPENDSM},
    {"OpenDs", MSG_OPENDS},
    {"CloseDs", MSG_CLOSEDS},
    {"UserSelect", MSG_USERSELECT},
    {"DisableDs", MSG_DISABLEDS},
    {"EnableDs", MSG_ENABLEDS},
    {"EnableDsUiOnly", MSG_ENABLEDSUIONLY},
    {"ProcessEvent", MSG_PROCESSEVENT},
    {"EndXfer", MSG_ENDXFER},
    {"StopFeeder", MSG_STOPFEEDER},
    {"RegisterCallback", MSG_REGISTER_CALLBACK},
};

class ForeignMessage : public Dispatch, public ::testing::WithParamInterface<ForeignMessageCase> {};

TEST_P(ForeignMessage, FailsAsBadProtocolWithoutTouchingTheData) {
  // State 6 passes the state check of every transfer and set-up type, so their message check decides.
  EnterState(6);
  const TW_UINT16 msg = GetParam().msg;
  for (const TW_UINT32 dg : test_support::kTripletGroups) {
    for (const TW_UINT16 dat : test_support::kTripletTypes) {
      const bool isEvent = dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT;
      if (isEvent || FindTripletRule(dg, dat, msg) != nullptr) continue;
      SCOPED_TRACE("DG " + std::to_string(dg) + " DAT " + std::to_string(dat));
      // Exactly four bytes on the heap, so that the sanitizer build catches any reach beyond.
      std::vector<unsigned char> small(4, 0xA5);
      EXPECT_EQ(Call(dg, dat, msg, small.data()), TWRC_FAILURE);
      EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
      EXPECT_EQ(small, std::vector<unsigned char>(4, 0xA5));
      EXPECT_EQ(Source().State(), 600);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Messages, ForeignMessage, ::testing::ValuesIn(kForeignMessages),
                         [](const auto& info) { return std::string(info.param.name); });

// While one application has the source open, every call of another one is
// refused without a condition code of its own: the first one's stays.
class OtherApplication : public Dispatch, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(OtherApplication, IsRefusedWithoutTouchingTheOwnersCondition) {
  const RefusalCase& c = GetParam();
  EnterState(4);
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, data), TWRC_FAILURE);  // the owner's last failure

  TW_IDENTITY other = MakeIdentity(8, "Second application");
  EXPECT_EQ(Call(&other, c.dg, c.dat, c.msg, data), TWRC_FAILURE);
  EXPECT_EQ(Call(nullptr, c.dg, c.dat, c.msg, data), TWRC_FAILURE);
  EXPECT_EQ(Source().State(), 400);
  EXPECT_EQ(TW_UINT32{Source().ApplicationIdentity().Id}, TW_UINT32{application.Id});
  EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
}

INSTANTIATE_TEST_SUITE_P(
    Triplets, OtherApplication,
    ::testing::Values(RefusalCase{"Open", 4, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, 0},
                      RefusalCase{"Close", 4, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, 0},
                      RefusalCase{"Identity", 4, DG_CONTROL, DAT_IDENTITY, MSG_GET, 0},
                      RefusalCase{"Status", 4, DG_CONTROL, DAT_STATUS, MSG_GET, 0},
                      RefusalCase{"ProcessEvent", 4, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, 0},
                      RefusalCase{"Unsupported", 4, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct MissingPointerCase {
  const char* name;
  int state;
  TW_UINT32 dg;
  TW_UINT16 dat;
  TW_UINT16 msg;
  bool nullOrigin;  // else null data
  TW_UINT16 condition;
};

class MissingPointer : public Dispatch, public ::testing::WithParamInterface<MissingPointerCase> {};

TEST_P(MissingPointer, IsABadValueOnceMessageAndStateAreAccepted) {
  const MissingPointerCase& c = GetParam();
  EnterState(c.state);
  TW_IDENTITY identity = MakeIdentity(kSourceId, "Velloran");
  TW_IDENTITY* origin = c.nullOrigin ? nullptr : &application;
  TW_MEMREF pointer = c.nullOrigin ? static_cast<TW_MEMREF>(&identity) : nullptr;
  EXPECT_EQ(Call(origin, c.dg, c.dat, c.msg, pointer), TWRC_FAILURE);
  EXPECT_EQ(Source().State(), c.state * 100);
  EXPECT_EQ(Condition(), c.condition);
}

INSTANTIATE_TEST_SUITE_P(
    Triplets, MissingPointer,
    ::testing::Values(
        MissingPointerCase{"Identity", 3, DG_CONTROL, DAT_IDENTITY, MSG_GET, false, TWCC_BADVALUE},
        MissingPointerCase{"OpenWithoutIdentity", 3, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, false, TWCC_BADVALUE},
        MissingPointerCase{"OpenWithoutOrigin", 3, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, true, TWCC_BADVALUE},
        MissingPointerCase{"Status", 4, DG_CONTROL, DAT_STATUS, MSG_GET, false, TWCC_BADVALUE},
        MissingPointerCase{"CapabilityGet", 4, DG_CONTROL, DAT_CAPABILITY, MSG_GET, false, TWCC_BADVALUE},
        MissingPointerCase{"CapabilitySet", 3, DG_CONTROL, DAT_CAPABILITY, MSG_SET, false, TWCC_BADVALUE},
        MissingPointerCase{"Enable", 4, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, false, TWCC_BADVALUE},
        MissingPointerCase{"EnableInWrongState", 3, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, false,
                           TWCC_SEQERROR},
        MissingPointerCase{"EnableUiOnly", 4, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, false,
                           TWCC_BADPROTOCOL},
        MissingPointerCase{"DisableDoesNotReadIt", 4, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, false,
                           TWCC_SEQERROR},
        MissingPointerCase{"PendingGet", 4, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, false, TWCC_BADVALUE},
        MissingPointerCase{"PendingGetInWrongState", 3, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, false,
                           TWCC_SEQERROR},
        MissingPointerCase{"EndXfer", 6, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, false, TWCC_BADVALUE},
        MissingPointerCase{"ResetPending", 6, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, false, TWCC_BADVALUE},
        MissingPointerCase{"SetupMemory", 4, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, false, TWCC_BADVALUE},
        MissingPointerCase{"SetupFileSet", 4, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, false, TWCC_BADVALUE},
        MissingPointerCase{"SetupFileInWrongState", 3, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, false,
                           TWCC_SEQERROR},
        MissingPointerCase{"Native", 6, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, false, TWCC_BADVALUE},
        MissingPointerCase{"Memory", 6, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, false, TWCC_BADVALUE},
        MissingPointerCase{"ImageInfo", 6, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, false, TWCC_BADVALUE},
        MissingPointerCase{"Palette", 4, DG_IMAGE, DAT_PALETTE8, MSG_GET, false, TWCC_BADVALUE}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twain_test
