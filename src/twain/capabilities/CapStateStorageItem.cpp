#include "twain/capabilities/CapStateStorageItem.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "twain/capabilities/CapabilityContainer.h"
#include "twain/capabilities/CapabilityItems.h"

namespace {

TW_UINT16 Succeed(TW_UINT16& condition) {
  condition = TWCC_SUCCESS;
  return TWRC_SUCCESS;
}

TW_UINT16 Fail(TW_UINT16& condition, TW_UINT16 code) {
  condition = code;
  return TWRC_FAILURE;
}

}  // namespace

CapStateStorageItem::CapStateStorageItem(const CapabilityInfo& info, CapabilityValueList supported,
                                         CapabilityValueList defaults, CapabilityValueList current)
    : info_(info), supported_(supported), defaults_(defaults), current_(current) {}

bool CapStateStorageItem::IsSupported(TW_UINT32 messageBit) const {
  return (info_.supportedMessages & messageBit) != 0;
}

std::size_t CapStateStorageItem::ItemSize() const { return capability_items::StoredSize(info_.itemType); }

std::span<const std::byte> CapStateStorageItem::Items(const CapabilityValueList& list) const {
  if (list.items == nullptr) return {};
  return {list.items, list.count * ItemSize()};
}

std::span<const std::byte> CapStateStorageItem::FirstCurrentItem() const {
  return Items(current_).first(current_.count == 0 ? 0 : ItemSize());
}

TW_UINT16 CapStateStorageItem::QuerySupport(TW_CAPABILITY& capability, TW_UINT16& condition) const {
  const TW_INT32 mask = static_cast<TW_INT32>(info_.supportedMessages);
  std::byte item[sizeof mask];
  std::memcpy(item, &mask, sizeof mask);
  TW_HANDLE container = capability_container::BuildOneValue(TWTY_INT32, item);
  if (container == nullptr) return Fail(condition, TWCC_LOWMEMORY);
  capability.ConType = TWON_ONEVALUE;
  capability.hContainer = container;
  return Succeed(condition);
}

TW_UINT16 CapStateStorageItem::Get(TW_CAPABILITY& capability, TW_UINT16& condition) const {
  return Answer(info_.getContainer, AnswerList::kSupported, capability, condition);
}

TW_UINT16 CapStateStorageItem::GetCurrent(TW_CAPABILITY& capability, TW_UINT16& condition) const {
  return Answer(info_.currentContainer, AnswerList::kCurrent, capability, condition);
}

TW_UINT16 CapStateStorageItem::GetDefault(TW_CAPABILITY& capability, TW_UINT16& condition) const {
  return Answer(info_.currentContainer, AnswerList::kDefault, capability, condition);
}

TW_UINT16 CapStateStorageItem::Set(TW_CAPABILITY& capability, TW_UINT16& condition) {
  // Applications send a whole enumeration to constrain a capability; values here are never
  // constrained, so it is taken as done.
  if (capability.ConType == TWON_ENUMERATION) return Succeed(condition);
  if (capability.ConType != TWON_ONEVALUE) return Fail(condition, TWCC_BADVALUE);

  // Nothing tells how large the application's block is: read the item type, and only when it is
  // ours read the item, no wider than the type.
  const auto* block = static_cast<const std::byte*>(capability.hContainer);
  if (block == nullptr) return Fail(condition, TWCC_BADVALUE);
  TW_UINT16 itemType = 0;
  std::memcpy(&itemType, block + offsetof(TW_ONEVALUE, ItemType), sizeof itemType);
  if (itemType != info_.itemType || ItemSize() == 0 || current_.count == 0 || current_.items == nullptr) {
    return Fail(condition, TWCC_BADVALUE);
  }
  capability_items::ReadOneValueItem(itemType, block + offsetof(TW_ONEVALUE, Item), current_.items);
  logger_.Debug("TWON_ONEVALUE CapId: 0x%x Value: 0x%x Size: %d", static_cast<unsigned>(info_.id),
                static_cast<unsigned>(capability_items::StoredAsInt32(itemType, current_.items)),
                static_cast<int>(ItemSize()));
  return Succeed(condition);
}

TW_UINT16 CapStateStorageItem::Reset(TW_CAPABILITY& capability, TW_UINT16& condition) {
  const std::size_t count = std::min(current_.count, defaults_.count);
  const std::size_t bytes = count * ItemSize();
  if (bytes == 0) return GetDefault(capability, condition);

  // The answer is built from the reset values; if it cannot be built, the values go back.
  const std::vector<std::byte> previous(current_.items, current_.items + bytes);
  std::memcpy(current_.items, defaults_.items, bytes);
  const TW_UINT16 result = GetDefault(capability, condition);
  if (result != TWRC_SUCCESS) std::memcpy(current_.items, previous.data(), bytes);
  return result;
}

TW_UINT16 CapStateStorageItem::Answer(TW_UINT16 containerKind, AnswerList list, TW_CAPABILITY& capability,
                                      TW_UINT16& condition) const {
  if (ItemSize() == 0) return Fail(condition, TWCC_BUMMER);
  const bool oneValueFromDefaults = list == AnswerList::kDefault;
  if (containerKind == TWON_ONEVALUE && Items(oneValueFromDefaults ? defaults_ : current_).empty()) {
    return Fail(condition, TWCC_BUMMER);
  }
  if (containerKind != TWON_ONEVALUE && containerKind != TWON_ENUMERATION && containerKind != TWON_ARRAY) {
    return Fail(condition, TWCC_BUMMER);
  }
  TW_HANDLE container = BuildContainer(containerKind, list);
  if (container == nullptr) return Fail(condition, TWCC_LOWMEMORY);
  capability.ConType = containerKind;
  capability.hContainer = container;
  return Succeed(condition);
}

TW_HANDLE CapStateStorageItem::BuildContainer(TW_UINT16 containerKind, AnswerList list) const {
  const CapabilityValueList& values = list == AnswerList::kSupported ? supported_
                                      : list == AnswerList::kCurrent ? current_
                                                                     : defaults_;
  switch (containerKind) {
    case TWON_ONEVALUE:
      // A one-value answer shows the current value, for MSG_GET too; only MSG_GETDEFAULT shows
      // the default.
      return capability_container::BuildOneValue(
          info_.itemType, (list == AnswerList::kDefault ? defaults_ : current_).items);
    case TWON_ENUMERATION:
      return BuildEnumeration(Items(values));
    case TWON_ARRAY:
      return capability_container::BuildArray(info_.itemType, Items(values));
    default:
      return nullptr;
  }
}

// The indexes of an enumeration always point into its own item list. When the current or the
// default value is not in the list (an application may set any value), it is added at the end, so
// that an application reading ItemList[CurrentIndex] finds the true value and never reads past
// the list.
TW_HANDLE CapStateStorageItem::BuildEnumeration(std::span<const std::byte> items) const {
  std::vector<std::byte> list(items.begin(), items.end());
  auto indexOf = [&](std::span<const std::byte> value) -> TW_UINT32 {
    if (value.empty()) return 0;
    const TW_UINT32 index = capability_container::IndexOf(info_.itemType, list, value.data());
    if (index * ItemSize() == list.size()) list.insert(list.end(), value.begin(), value.end());
    return index;
  };
  const TW_UINT32 currentIndex = indexOf(FirstCurrentItem());
  const TW_UINT32 defaultIndex = indexOf(Items(defaults_).first(defaults_.count == 0 ? 0 : ItemSize()));
  return capability_container::BuildEnumeration(info_.itemType, list, currentIndex, defaultIndex);
}
