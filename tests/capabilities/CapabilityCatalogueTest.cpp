// The catalogue's set of capabilities and its process-wide values, below the TWAIN entry point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "capabilities/ContainerReader.h"
#include "twain/capabilities/CapabilityCatalogue.h"
#include "twain/capabilities/CapabilityValues.h"

namespace {

class CapabilityCatalogueTest : public testing::Test {
 protected:
  void SetUp() override { capability_catalogue::RestoreInitialValues(); }
  void TearDown() override { capability_catalogue::RestoreInitialValues(); }

  static TW_UINT16 Set(TW_UINT16 id, TW_UINT16 itemType, TW_UINT32 field) {
    auto item = capability_catalogue::Create(id);
    TW_CAPABILITY capability{id, TWON_ONEVALUE, MakeOneValue(itemType, field)};
    TW_UINT16 condition = 0;
    const TW_UINT16 result = item->Set(capability, condition);
    std::free(capability.hContainer);
    return result;
  }

  static DecodedContainer Current(TW_UINT16 id) {
    auto item = capability_catalogue::Create(id);
    TW_CAPABILITY capability{id, 0, nullptr};
    TW_UINT16 condition = 0;
    EXPECT_EQ(item->GetCurrent(capability, condition), TWRC_SUCCESS);
    return TakeContainer(capability);
  }
};

TEST_F(CapabilityCatalogueTest, SupportedCapsNamesExactlyTheCapabilitiesThatExist) {
  const auto order = capability_catalogue::CreationOrder();
  std::set<TW_UINT16> created(order.begin(), order.end());
  EXPECT_EQ(created.size(), order.size()) << "an id is created twice";
  EXPECT_EQ(created.count(CAP_SUPPORTEDCAPS), 0u) << "CAP_SUPPORTEDCAPS is made apart from the others";
  created.insert(CAP_SUPPORTEDCAPS);

  auto supportedCaps = capability_catalogue::Create(CAP_SUPPORTEDCAPS);
  ASSERT_NE(supportedCaps, nullptr);
  TW_CAPABILITY capability{CAP_SUPPORTEDCAPS, 0, nullptr};
  TW_UINT16 condition = 0;
  ASSERT_EQ(supportedCaps->Get(capability, condition), TWRC_SUCCESS);
  const DecodedContainer listed = TakeContainer(capability);
  const std::set<TW_UINT16> listedIds(listed.items.begin(), listed.items.end());
  EXPECT_EQ(listed.items.size(), 30u);
  EXPECT_EQ(listedIds, created);

  for (TW_UINT16 id : created) {
    SCOPED_TRACE(id);
    auto item = capability_catalogue::Create(id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Info().id, id);
  }
}

TEST_F(CapabilityCatalogueTest, CapabilitiesTheSourceDoesNotOfferAreNotMade) {
  for (TW_UINT16 id : {ICAP_IMAGEFILEFORMAT, ICAP_FRAMES, ICAP_THRESHOLD, CAP_INDICATORS, CAP_DUPLEXENABLED,
                       TW_UINT16{0}, TW_UINT16{0xFFFF}}) {
    EXPECT_EQ(capability_catalogue::Create(id), nullptr) << id;
  }
}

TEST_F(CapabilityCatalogueTest, ValuesOutliveTheObjectsUntilRestored) {
  ASSERT_EQ(Set(CAP_XFERCOUNT, TWTY_INT16, 3), TWRC_SUCCESS);
  // A new object over the same storage, as after the application closes and reopens the source.
  EXPECT_EQ(Current(CAP_XFERCOUNT).items, std::vector<double>{3});

  capability_catalogue::RestoreInitialValues();
  EXPECT_EQ(Current(CAP_XFERCOUNT).items, std::vector<double>{-1});
}

TEST_F(CapabilityCatalogueTest, ScanningReadsTheNegotiatedValues) {
  EXPECT_EQ(CapabilityValues::XferCount(), -1);
  EXPECT_EQ(CapabilityValues::PixelType(), TWPT_RGB);
  EXPECT_EQ(CapabilityValues::BitDepth(), 24);
  EXPECT_EQ(CapabilityValues::PixelFlavor(), TWPF_CHOCOLATE);
  EXPECT_EQ(CapabilityValues::XResolution(), 300.0);
  EXPECT_EQ(CapabilityValues::YResolution(), 300.0);

  ASSERT_EQ(Set(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
  ASSERT_EQ(Set(ICAP_BITDEPTH, TWTY_UINT16, 8), TWRC_SUCCESS);
  ASSERT_EQ(Set(ICAP_PIXELFLAVOR, TWTY_UINT16, TWPF_VANILLA), TWRC_SUCCESS);
  ASSERT_EQ(Set(ICAP_XRESOLUTION, TWTY_FIX32, Fix32Field(150.0)), TWRC_SUCCESS);
  ASSERT_EQ(Set(ICAP_YRESOLUTION, TWTY_FIX32, Fix32Field(72.5)), TWRC_SUCCESS);
  EXPECT_EQ(CapabilityValues::PixelType(), TWPT_GRAY);
  EXPECT_EQ(CapabilityValues::BitDepth(), 8);
  EXPECT_EQ(CapabilityValues::PixelFlavor(), TWPF_VANILLA);
  EXPECT_EQ(CapabilityValues::XResolution(), 150.0);
  EXPECT_EQ(CapabilityValues::YResolution(), 72.5);

  // Loop mode writes the transfer count; the application reads it back.
  CapabilityValues::SetXferCount(5);
  EXPECT_EQ(Current(CAP_XFERCOUNT).items, std::vector<double>{5});
}

}  // namespace
