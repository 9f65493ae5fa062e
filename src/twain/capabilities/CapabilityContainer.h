#pragma once

#include <cstddef>
#include <span>

#include "twain/twain.h"

// Builds the TWAIN containers that capability messages answer with. Each block comes from
// platform::GlobalAllocZeroed and belongs to the application, which frees it; nullptr means the
// block could not be allocated.
namespace capability_container {

// `storedItems` holds packed stored items of `itemType` (see capability_items).
TW_HANDLE BuildOneValue(TW_UINT16 itemType, const std::byte* storedItem);
TW_HANDLE BuildEnumeration(TW_UINT16 itemType, std::span<const std::byte> storedItems,
                           TW_UINT32 currentIndex, TW_UINT32 defaultIndex);
TW_HANDLE BuildArray(TW_UINT16 itemType, std::span<const std::byte> storedItems);

// Position of the first item of `storedItems` whose bytes equal `storedItem`, or the number of
// items when none does.
TW_UINT32 IndexOf(TW_UINT16 itemType, std::span<const std::byte> storedItems, const std::byte* storedItem);

}  // namespace capability_container
