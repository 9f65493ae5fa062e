// A Velloran inside the test process: negotiation does not depend on the session state, and what
// an application sets is what scanning reads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "capabilities/ContainerReader.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "twain/Velloran.h"
#include "twain/capabilities/CapabilityCatalogue.h"
#include "twain/capabilities/CapabilityValues.h"

namespace {

// Lets the test put the source straight into a later state: the transfers that lead there are
// not what is tested here.
class SourceInState : public Velloran {
 public:
  using Velloran::Velloran;
  void Enter(int state) { m_state = state; }
};

class CapabilityStates : public testing::Test {
 protected:
  void SetUp() override {
    capability_catalogue::RestoreInitialValues();
    application.Id = 7;
    application.ProtocolMajor = 2;
    application.ProtocolMinor = 4;
    TW_IDENTITY identity{};
    ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    identity.Id = 21;
    ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_SUCCESS);
  }
  void TearDown() override { capability_catalogue::RestoreInitialValues(); }

  TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return source.Dispatch(TwainTriplet{&application, dg, dat, msg, data});
  }

  DecodedContainer Get(TW_UINT16 msg, TW_UINT16 id) {
    TW_CAPABILITY capability{id, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, msg, &capability), TWRC_SUCCESS);
    return TakeContainer(capability);
  }

  TW_UINT16 Set(TW_UINT16 id, TW_UINT16 itemType, TW_UINT32 field) {
    TW_CAPABILITY capability{id, TWON_ONEVALUE, MakeOneValue(itemType, field)};
    const TW_UINT16 result = Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    std::free(capability.hContainer);
    return result;
  }

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  SourceInState source{this, *settings};
  TW_IDENTITY application{};
};

TEST_F(CapabilityStates, StateSevenAnswersAsStateFour) {
  const DecodedContainer inState4 = Get(MSG_GET, ICAP_PIXELTYPE);
  source.Enter(kState7);
  const DecodedContainer inState7 = Get(MSG_GET, ICAP_PIXELTYPE);
  EXPECT_EQ(inState7.conType, inState4.conType);
  EXPECT_EQ(inState7.items, inState4.items);
  EXPECT_EQ(inState7.currentIndex, inState4.currentIndex);

  ASSERT_EQ(Set(CAP_XFERCOUNT, TWTY_INT16, 2), TWRC_SUCCESS);
  EXPECT_EQ(Get(MSG_GETCURRENT, CAP_XFERCOUNT).items, std::vector<double>{2});
  EXPECT_EQ(Get(MSG_QUERYSUPPORT, CAP_XFERCOUNT).oneValueField, 31u);
}

TEST_F(CapabilityStates, ScanningReadsWhatTheApplicationSet) {
  ASSERT_EQ(Set(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW), TWRC_SUCCESS);
  ASSERT_EQ(Set(ICAP_BITDEPTH, TWTY_UINT16, 1), TWRC_SUCCESS);
  ASSERT_EQ(Set(ICAP_PIXELFLAVOR, TWTY_UINT16, TWPF_VANILLA), TWRC_SUCCESS);
  ASSERT_EQ(Set(ICAP_XRESOLUTION, TWTY_FIX32, Fix32Field(200.0)), TWRC_SUCCESS);
  ASSERT_EQ(Set(ICAP_YRESOLUTION, TWTY_FIX32, Fix32Field(150.5)), TWRC_SUCCESS);
  ASSERT_EQ(Set(CAP_XFERCOUNT, TWTY_INT16, 4), TWRC_SUCCESS);
  EXPECT_EQ(CapabilityValues::PixelType(), TWPT_BW);
  EXPECT_EQ(CapabilityValues::BitDepth(), 1);
  EXPECT_EQ(CapabilityValues::PixelFlavor(), TWPF_VANILLA);
  EXPECT_EQ(CapabilityValues::XResolution(), 200.0);
  EXPECT_EQ(CapabilityValues::YResolution(), 150.5);
  EXPECT_EQ(CapabilityValues::XferCount(), 4);

  // A second session of the same driver keeps the objects and their values.
  ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_SUCCESS);
  TW_IDENTITY identity{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
  ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_SUCCESS);
  EXPECT_EQ(Get(MSG_GETCURRENT, ICAP_PIXELTYPE).items, std::vector<double>{TWPT_BW});
  EXPECT_EQ(Get(MSG_GETCURRENT, CAP_XFERCOUNT).items, std::vector<double>{4});
}

}  // namespace
