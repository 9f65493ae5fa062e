// The capability model on its own: container encoding per item type, the index rule, and what
// Set, Reset and the Get messages do to a capability over storage the test owns.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capabilities/ContainerReader.h"
#include "twain/capabilities/CapStateStorageItem.h"
#include "twain/capabilities/CapabilityContainer.h"

namespace {

std::vector<std::byte> Bytes(std::initializer_list<unsigned> values) {
  std::vector<std::byte> bytes;
  for (unsigned v : values) bytes.push_back(static_cast<std::byte>(v));
  return bytes;
}

std::vector<std::byte> BlockBytes(const void* block, std::size_t offset, std::size_t count) {
  const auto* start = static_cast<const std::byte*>(block) + offset;
  return {start, start + count};
}

// ---------------------------------------------------------------------------------------------
// Encoding of one stored item into the three container kinds
// ---------------------------------------------------------------------------------------------

struct EncodingCase {
  const char* name;
  TW_UINT16 itemType;
  std::vector<std::byte> stored;
  TW_UINT32 oneValueField;
  std::vector<std::byte> listItem;  // the item inside an enumeration or array
};

std::vector<std::byte> FloatBytes(float value) {
  std::vector<std::byte> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

const EncodingCase kEncodingCases[] = {
    {"Int8Minus1", TWTY_INT8, Bytes({0xFF}), 0x000000FFu, Bytes({0xFF})},
    {"Int16Minus1ZeroExtended", TWTY_INT16, Bytes({0xFF, 0xFF}), 0x0000FFFFu, Bytes({0xFF, 0xFF})},
    {"Uint16", TWTY_UINT16, Bytes({0x18, 0x00}), 24u, Bytes({0x18, 0x00})},
    {"BoolTrue", TWTY_BOOL, Bytes({0x01, 0x00}), 1u, Bytes({0x01, 0x00})},
    {"Int32Negative", TWTY_INT32, Bytes({0xFE, 0xFF, 0xFF, 0xFF}), 0xFFFFFFFEu, Bytes({0xFE, 0xFF, 0xFF, 0xFF})},
    {"Uint32", TWTY_UINT32, Bytes({0x78, 0x56, 0x34, 0x12}), 0x12345678u, Bytes({0x78, 0x56, 0x34, 0x12})},
    // FIX32: Whole (16 bits, first) then Frac.
    {"Fix32Whole", TWTY_FIX32, FloatBytes(300.0f), Fix32Field(300.0), Bytes({0x2C, 0x01, 0x00, 0x00})},
    {"Fix32Half", TWTY_FIX32, FloatBytes(1.5f), Fix32Field(1.5), Bytes({0x01, 0x00, 0x00, 0x80})},
    {"Fix32NegativeHalf", TWTY_FIX32, FloatBytes(-1.5f), Fix32Field(-1.5), Bytes({0xFE, 0xFF, 0x00, 0x80})},
    {"Fix32Quarter", TWTY_FIX32, FloatBytes(-0.25f), Fix32Field(-0.25), Bytes({0xFF, 0xFF, 0x00, 0xC0})},
};

class ContainerEncoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(ContainerEncoding, OneValueEnumerationAndArrayCarryTheTwainForm) {
  const EncodingCase& c = GetParam();

  TW_HANDLE one = capability_container::BuildOneValue(c.itemType, c.stored.data());
  ASSERT_NE(one, nullptr);
  TW_ONEVALUE oneValue;
  std::memcpy(&oneValue, one, sizeof oneValue);
  EXPECT_EQ(oneValue.ItemType, c.itemType);
  EXPECT_EQ(TW_UINT32{oneValue.Item}, c.oneValueField);
  std::free(one);

  // Two copies of the item, so that a wrong item width shows in the second one.
  std::vector<std::byte> twoItems = c.stored;
  twoItems.insert(twoItems.end(), c.stored.begin(), c.stored.end());
  std::vector<std::byte> expectedList = c.listItem;
  expectedList.insert(expectedList.end(), c.listItem.begin(), c.listItem.end());

  TW_HANDLE enumeration = capability_container::BuildEnumeration(c.itemType, twoItems, 1, 0);
  ASSERT_NE(enumeration, nullptr);
  TW_ENUMERATION header;
  std::memcpy(&header, enumeration, offsetof(TW_ENUMERATION, ItemList));
  EXPECT_EQ(header.ItemType, c.itemType);
  EXPECT_EQ(TW_UINT32{header.NumItems}, 2u);
  EXPECT_EQ(TW_UINT32{header.CurrentIndex}, 1u);
  EXPECT_EQ(TW_UINT32{header.DefaultIndex}, 0u);
  EXPECT_EQ(BlockBytes(enumeration, offsetof(TW_ENUMERATION, ItemList), expectedList.size()), expectedList);
  std::free(enumeration);

  TW_HANDLE array = capability_container::BuildArray(c.itemType, twoItems);
  ASSERT_NE(array, nullptr);
  TW_ARRAY arrayHeader;
  std::memcpy(&arrayHeader, array, offsetof(TW_ARRAY, ItemList));
  EXPECT_EQ(arrayHeader.ItemType, c.itemType);
  EXPECT_EQ(TW_UINT32{arrayHeader.NumItems}, 2u);
  EXPECT_EQ(BlockBytes(array, offsetof(TW_ARRAY, ItemList), expectedList.size()), expectedList);
  std::free(array);
}

INSTANTIATE_TEST_SUITE_P(ItemTypes, ContainerEncoding, testing::ValuesIn(kEncodingCases),
                         [](const testing::TestParamInfo<EncodingCase>& info) { return std::string(info.param.name); });

TEST(CapabilityIndex, FirstEqualItemOrTheItemCount) {
  const std::vector<std::byte> list = Bytes({0x01, 0x00, 0x08, 0x00, 0x08, 0x00, 0x18, 0x00});
  const auto at = [&](std::initializer_list<unsigned> value) {
    return capability_container::IndexOf(TWTY_UINT16, list, Bytes(value).data());
  };
  EXPECT_EQ(at({0x01, 0x00}), 0u);
  EXPECT_EQ(at({0x08, 0x00}), 1u);  // the first of two equal items
  EXPECT_EQ(at({0x18, 0x00}), 3u);
  EXPECT_EQ(at({0x18, 0x01}), 4u);  // compares whole items, not their low byte
}

// ---------------------------------------------------------------------------------------------
// A capability over storage owned by the test
// ---------------------------------------------------------------------------------------------

// Resolution-like: FIX32, enumeration for MSG_GET, one value for the others.
class FixedPointCapability : public testing::Test {
 protected:
  float supported_[3] = {100.0f, 200.0f, 300.0f};
  float default_[1] = {300.0f};
  float current_[1] = {300.0f};
  CapStateStorageItem item_{CapabilityInfo{ICAP_XRESOLUTION, TWTY_FIX32, TWON_ENUMERATION, TWON_ONEVALUE,
                                           CapabilityInfo::kReadWrite},
                            List(supported_, 3), List(default_, 1), List(current_, 1)};
  TW_UINT16 condition_ = 0xBEEF;

  static CapabilityValueList List(float* items, TW_UINT32 count) {
    return {reinterpret_cast<std::byte*>(items), count};
  }

  TW_CAPABILITY Capability(TW_UINT16 conType = TWON_DONTCARE16, TW_HANDLE container = nullptr) {
    TW_CAPABILITY capability{};
    capability.Cap = ICAP_XRESOLUTION;
    capability.ConType = conType;
    capability.hContainer = container;
    return capability;
  }

  TW_UINT16 SetTo(TW_UINT16 itemType, TW_UINT32 field) {
    TW_CAPABILITY capability = Capability(TWON_ONEVALUE, MakeOneValue(itemType, field));
    const TW_UINT16 result = item_.Set(capability, condition_);
    std::free(capability.hContainer);
    return result;
  }

  DecodedContainer Answer(TW_UINT16 (CapStateStorageItem::*message)(TW_CAPABILITY&, TW_UINT16&) const) {
    TW_CAPABILITY capability = Capability();
    EXPECT_EQ((item_.*message)(capability, condition_), TWRC_SUCCESS);
    EXPECT_EQ(condition_, TWCC_SUCCESS);
    return TakeContainer(capability);
  }
};

TEST_F(FixedPointCapability, GetListsTheSupportedValuesWithTheirIndexes) {
  const DecodedContainer get = Answer(&CapStateStorageItem::Get);
  EXPECT_EQ(get.conType, TWON_ENUMERATION);
  EXPECT_EQ(get.itemType, TWTY_FIX32);
  EXPECT_EQ(get.items, (std::vector<double>{100.0, 200.0, 300.0}));
  EXPECT_EQ(get.currentIndex, 2u);
  EXPECT_EQ(get.defaultIndex, 2u);

  const DecodedContainer current = Answer(&CapStateStorageItem::GetCurrent);
  EXPECT_EQ(current.conType, TWON_ONEVALUE);
  EXPECT_EQ(current.oneValueField, Fix32Field(300.0));
}

TEST_F(FixedPointCapability, SetTakesAnyValueAndTheEnumerationKeepsItsIndexesInside) {
  ASSERT_EQ(SetTo(TWTY_FIX32, Fix32Field(150.0)), TWRC_SUCCESS);
  EXPECT_EQ(condition_, TWCC_SUCCESS);
  EXPECT_EQ(Answer(&CapStateStorageItem::GetCurrent).items, std::vector<double>{150.0});

  // 150 is not supported: it is listed after the supported values, where CurrentIndex points.
  const DecodedContainer get = Answer(&CapStateStorageItem::Get);
  EXPECT_EQ(get.items, (std::vector<double>{100.0, 200.0, 300.0, 150.0}));
  EXPECT_EQ(get.currentIndex, 3u);
  EXPECT_EQ(get.defaultIndex, 2u);
}

TEST_F(FixedPointCapability, NegativeFixedPointValuesSurviveTheRoundTrip) {
  for (double value : {-1.5, -0.25, -32768.0}) {
    SCOPED_TRACE(value);
    ASSERT_EQ(SetTo(TWTY_FIX32, Fix32Field(value)), TWRC_SUCCESS);
    EXPECT_EQ(Answer(&CapStateStorageItem::GetCurrent).oneValueField, Fix32Field(value));
  }
}

struct RejectedSet {
  const char* name;
  TW_UINT16 conType;
  bool withContainer;
  TW_UINT16 itemType;
};

const RejectedSet kRejectedSets[] = {
    {"WrongItemType", TWON_ONEVALUE, true, TWTY_UINT16},
    {"NoContainer", TWON_ONEVALUE, false, TWTY_FIX32},
    {"Array", TWON_ARRAY, true, TWTY_FIX32},
    {"Range", TWON_RANGE, true, TWTY_FIX32},
    {"UnknownContainer", 0, true, TWTY_FIX32},
};

class FixedPointCapabilityRejects : public FixedPointCapability, public testing::WithParamInterface<RejectedSet> {};

TEST_P(FixedPointCapabilityRejects, SetWithBadValueAndKeepsTheCurrentValue) {
  const RejectedSet& c = GetParam();
  // A one-value block is larger than the array header the source might look at, so nothing is
  // read past it whichever way the source reads.
  TW_HANDLE block = c.withContainer ? MakeOneValue(c.itemType, Fix32Field(150.0)) : nullptr;
  TW_CAPABILITY capability = Capability(c.conType, block);
  EXPECT_EQ(item_.Set(capability, condition_), TWRC_FAILURE);
  EXPECT_EQ(condition_, TWCC_BADVALUE);
  EXPECT_EQ(TW_HANDLE{capability.hContainer}, block);  // the application's block is left alone
  std::free(block);
  EXPECT_EQ(current_[0], 300.0f);
}

INSTANTIATE_TEST_SUITE_P(Containers, FixedPointCapabilityRejects, testing::ValuesIn(kRejectedSets),
                         [](const testing::TestParamInfo<RejectedSet>& info) { return std::string(info.param.name); });

TEST_F(FixedPointCapability, SetWithAnEnumerationSucceedsWithoutReadingIt) {
  // Neither a missing block nor a two-byte one is touched.
  auto* tiny = static_cast<TW_HANDLE>(std::malloc(2));
  for (TW_HANDLE block : {static_cast<TW_HANDLE>(nullptr), tiny}) {
    TW_CAPABILITY capability = Capability(TWON_ENUMERATION, block);
    EXPECT_EQ(item_.Set(capability, condition_), TWRC_SUCCESS);
    EXPECT_EQ(condition_, TWCC_SUCCESS);
    EXPECT_EQ(capability.ConType, TWON_ENUMERATION);
    EXPECT_EQ(TW_HANDLE{capability.hContainer}, block);
  }
  std::free(tiny);
  EXPECT_EQ(current_[0], 300.0f);
}

TEST_F(FixedPointCapability, ResetPutsTheDefaultBackAndAnswersWithIt) {
  ASSERT_EQ(SetTo(TWTY_FIX32, Fix32Field(100.0)), TWRC_SUCCESS);
  TW_CAPABILITY capability = Capability();
  ASSERT_EQ(item_.Reset(capability, condition_), TWRC_SUCCESS);
  const DecodedContainer reset = TakeContainer(capability);
  EXPECT_EQ(reset.conType, TWON_ONEVALUE);
  EXPECT_EQ(reset.items, std::vector<double>{300.0});
  EXPECT_EQ(current_[0], 300.0f);
  EXPECT_EQ(default_[0], 300.0f);
}

TEST_F(FixedPointCapability, QuerySupportAnswersTheMaskAsInt32) {
  const DecodedContainer query = Answer(&CapStateStorageItem::QuerySupport);
  EXPECT_EQ(query.conType, TWON_ONEVALUE);
  EXPECT_EQ(query.itemType, TWTY_INT32);
  EXPECT_EQ(query.oneValueField, 31u);
  EXPECT_TRUE(item_.IsSupported(TWQC_RESET));
  EXPECT_FALSE(item_.IsSupported(TWQC_SETCONSTRAINT));
}

// An enumeration for every message, like an orientation: MSG_GETCURRENT and MSG_GETDEFAULT list
// one value, and their indexes must stay inside that list whatever the current value is.
TEST(EnumeratedCapability, CurrentAndDefaultAnswersIndexTheirOwnList) {
  TW_UINT16 supported[2] = {TWOR_PORTRAIT, TWOR_LANDSCAPE};
  TW_UINT16 defaults[1] = {TWOR_PORTRAIT};
  TW_UINT16 current[1] = {TWOR_PORTRAIT};
  const auto list = [](TW_UINT16* items, TW_UINT32 count) {
    return CapabilityValueList{reinterpret_cast<std::byte*>(items), count};
  };
  CapStateStorageItem item(CapabilityInfo{ICAP_ORIENTATION, TWTY_UINT16, TWON_ENUMERATION, TWON_ENUMERATION,
                                          CapabilityInfo::kReadWrite},
                           list(supported, 2), list(defaults, 1), list(current, 1));
  TW_UINT16 condition = 0;
  const auto answer = [&](auto message) {
    TW_CAPABILITY capability{};
    EXPECT_EQ((item.*message)(capability, condition), TWRC_SUCCESS);
    return TakeContainer(capability);
  };

  DecodedContainer fresh = answer(&CapStateStorageItem::GetCurrent);
  EXPECT_EQ(fresh.items, std::vector<double>{0});
  EXPECT_EQ(fresh.currentIndex, 0u);
  EXPECT_EQ(fresh.defaultIndex, 0u);

  current[0] = TWOR_LANDSCAPE;
  for (auto message : {&CapStateStorageItem::Get, &CapStateStorageItem::GetCurrent,
                       &CapStateStorageItem::GetDefault}) {
    const DecodedContainer e = answer(message);
    ASSERT_LT(e.currentIndex, e.items.size());
    ASSERT_LT(e.defaultIndex, e.items.size());
    EXPECT_EQ(e.items[e.currentIndex], TWOR_LANDSCAPE);
    EXPECT_EQ(e.items[e.defaultIndex], TWOR_PORTRAIT);
  }
  EXPECT_EQ(answer(&CapStateStorageItem::GetCurrent).items, (std::vector<double>{TWOR_LANDSCAPE, TWOR_PORTRAIT}));
  EXPECT_EQ(answer(&CapStateStorageItem::Get).items, (std::vector<double>{TWOR_PORTRAIT, TWOR_LANDSCAPE}));
}

TEST(SixteenBitCapability, SetReadsNoMoreThanTheItemWidth) {
  // An application may allocate a one-value block just large enough for a 16-bit item.
  TW_INT16 supported[2] = {-1, 1};
  TW_INT16 defaults[1] = {-1};
  TW_INT16 current[1] = {-1};
  const auto list = [](TW_INT16* items, TW_UINT32 count) {
    return CapabilityValueList{reinterpret_cast<std::byte*>(items), count};
  };
  CapStateStorageItem item(CapabilityInfo{CAP_XFERCOUNT, TWTY_INT16, TWON_ONEVALUE, TWON_ONEVALUE,
                                          CapabilityInfo::kReadWrite},
                           list(supported, 2), list(defaults, 1), list(current, 1));
  auto* block = static_cast<unsigned char*>(std::malloc(4));
  const TW_UINT16 itemType = TWTY_INT16;
  const TW_INT16 value = 7;
  std::memcpy(block, &itemType, 2);
  std::memcpy(block + 2, &value, 2);
  TW_CAPABILITY capability{CAP_XFERCOUNT, TWON_ONEVALUE, block};
  TW_UINT16 condition = 0;
  EXPECT_EQ(item.Set(capability, condition), TWRC_SUCCESS);
  std::free(block);
  EXPECT_EQ(current[0], 7);
  EXPECT_EQ(supported[0], -1);  // only the current list is written
  EXPECT_EQ(defaults[0], -1);
}

}  // namespace
