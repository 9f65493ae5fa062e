#pragma once

#include <cstddef>

#include "twain/twain.h"

// How the items of one TWTY_ type are held by a capability and how they travel in TWAIN
// containers. Capabilities keep their items packed in native form (FIX32 as a 32-bit float);
// containers carry the TWAIN form (FIX32 as Whole/Frac).
namespace capability_items {

// Bytes of one stored item; 0 for the types that capabilities cannot hold (frames, strings,
// handles), which every operation refuses.
std::size_t StoredSize(TW_UINT16 itemType);

// Bytes of one item inside a TW_ENUMERATION or TW_ARRAY item list.
std::size_t ContainerSize(TW_UINT16 itemType);

// Writes the TWAIN form of a stored item (ContainerSize bytes) to `destination`.
void WriteContainerItem(TW_UINT16 itemType, const std::byte* stored, std::byte* destination);

// The 32-bit Item field of a TW_ONEVALUE for a stored item: narrower integers zero-extended,
// FIX32 as its Whole/Frac bytes.
TW_UINT32 OneValueField(TW_UINT16 itemType, const std::byte* stored);

// Reads the value that starts at `source` (the Item field of a TW_ONEVALUE, of which only the
// item's own width is read) and writes its stored form to `stored`.
void ReadOneValueItem(TW_UINT16 itemType, const std::byte* source, std::byte* stored);

// A stored item as a 32-bit integer for diagnostics: narrower values sign-extended, a FIX32 as
// the bits of its float.
TW_INT32 StoredAsInt32(TW_UINT16 itemType, const std::byte* stored);

}  // namespace capability_items
