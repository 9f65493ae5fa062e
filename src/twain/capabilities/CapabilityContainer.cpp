#include "twain/capabilities/CapabilityContainer.h"

#include <cstddef>
#include <cstring>

#include "platform/GlobalMemory.h"
#include "twain/capabilities/CapabilityItems.h"

namespace capability_container {
namespace {

// Block sizes without the items. They are a little generous (the structures' sizes already count
// a first item or a tail byte), never short.
constexpr std::size_t kOneValueBase = sizeof(TW_ONEVALUE);           // 6
constexpr std::size_t kEnumerationBase = sizeof(TW_ENUMERATION) - 1; // 15
constexpr std::size_t kArrayBase = sizeof(TW_ARRAY) - 1;             // 7

std::size_t CountOf(TW_UINT16 itemType, std::span<const std::byte> storedItems) {
  const std::size_t size = capability_items::StoredSize(itemType);
  return size == 0 ? 0 : storedItems.size() / size;
}

std::byte* ItemListOf(void* block, std::size_t offset) {
  return static_cast<std::byte*>(block) + offset;
}

void WriteItemList(TW_UINT16 itemType, std::span<const std::byte> storedItems, std::byte* destination) {
  const std::size_t storedSize = capability_items::StoredSize(itemType);
  const std::size_t containerSize = capability_items::ContainerSize(itemType);
  const std::size_t count = CountOf(itemType, storedItems);
  for (std::size_t i = 0; i < count; ++i) {
    capability_items::WriteContainerItem(itemType, storedItems.data() + i * storedSize,
                                         destination + i * containerSize);
  }
}

}  // namespace

TW_HANDLE BuildOneValue(TW_UINT16 itemType, const std::byte* storedItem) {
  auto* block = static_cast<TW_ONEVALUE*>(
      platform::GlobalAllocZeroed(kOneValueBase + capability_items::ContainerSize(itemType)));
  if (block == nullptr) return nullptr;
  block->ItemType = itemType;
  block->Item = capability_items::OneValueField(itemType, storedItem);
  return block;
}

TW_HANDLE BuildEnumeration(TW_UINT16 itemType, std::span<const std::byte> storedItems,
                           TW_UINT32 currentIndex, TW_UINT32 defaultIndex) {
  const std::size_t count = CountOf(itemType, storedItems);
  auto* block = static_cast<TW_ENUMERATION*>(platform::GlobalAllocZeroed(
      kEnumerationBase + count * capability_items::ContainerSize(itemType)));
  if (block == nullptr) return nullptr;
  block->ItemType = itemType;
  block->NumItems = static_cast<TW_UINT32>(count);
  block->CurrentIndex = currentIndex;
  block->DefaultIndex = defaultIndex;
  WriteItemList(itemType, storedItems, ItemListOf(block, offsetof(TW_ENUMERATION, ItemList)));
  return block;
}

TW_HANDLE BuildArray(TW_UINT16 itemType, std::span<const std::byte> storedItems) {
  const std::size_t count = CountOf(itemType, storedItems);
  auto* block = static_cast<TW_ARRAY*>(
      platform::GlobalAllocZeroed(kArrayBase + count * capability_items::ContainerSize(itemType)));
  if (block == nullptr) return nullptr;
  block->ItemType = itemType;
  block->NumItems = static_cast<TW_UINT32>(count);
  WriteItemList(itemType, storedItems, ItemListOf(block, offsetof(TW_ARRAY, ItemList)));
  return block;
}

TW_UINT32 IndexOf(TW_UINT16 itemType, std::span<const std::byte> storedItems, const std::byte* storedItem) {
  const std::size_t size = capability_items::StoredSize(itemType);
  const std::size_t count = CountOf(itemType, storedItems);
  for (std::size_t i = 0; i < count; ++i) {
    if (std::memcmp(storedItems.data() + i * size, storedItem, size) == 0) return static_cast<TW_UINT32>(i);
  }
  return static_cast<TW_UINT32>(count);
}

}  // namespace capability_container
