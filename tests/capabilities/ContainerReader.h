#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "twain/twain.h"

// Reads a container as an application does (within the sizes its header announces) and frees it
// with free(), as an application must. Items come back as numbers: integers by their item type,
// FIX32 as Whole + Frac / 65536.
struct DecodedContainer {
  TW_UINT16 conType = 0;
  TW_UINT16 itemType = 0;
  std::vector<double> items;
  TW_UINT32 currentIndex = 0;  // enumerations only
  TW_UINT32 defaultIndex = 0;  // enumerations only
  TW_UINT32 oneValueField = 0; // the raw Item field of a TW_ONEVALUE
};

namespace container_reader {

inline std::size_t ItemBytes(TW_UINT16 itemType) {
  switch (itemType) {
    case TWTY_INT8: case TWTY_UINT8: return 1;
    case TWTY_INT16: case TWTY_UINT16: case TWTY_BOOL: return 2;
    default: return 4;
  }
}

inline double ItemValue(TW_UINT16 itemType, const unsigned char* bytes) {
  switch (itemType) {
    case TWTY_INT8: return static_cast<std::int8_t>(bytes[0]);
    case TWTY_UINT8: return bytes[0];
    case TWTY_INT16: { std::int16_t v; std::memcpy(&v, bytes, 2); return v; }
    case TWTY_UINT16: case TWTY_BOOL: { std::uint16_t v; std::memcpy(&v, bytes, 2); return v; }
    case TWTY_INT32: { std::int32_t v; std::memcpy(&v, bytes, 4); return v; }
    case TWTY_FIX32: { TW_FIX32 v; std::memcpy(&v, bytes, 4); return v.Whole + v.Frac / 65536.0; }
    default: { std::uint32_t v; std::memcpy(&v, bytes, 4); return v; }
  }
}

template <typename T>
T Field(const unsigned char* block, std::size_t offset) {
  T value;
  std::memcpy(&value, block + offset, sizeof value);
  return value;
}

}  // namespace container_reader

// Decodes capability.hContainer and frees it; the handle is cleared.
inline DecodedContainer TakeContainer(TW_CAPABILITY& capability) {
  using namespace container_reader;
  DecodedContainer out;
  out.conType = capability.ConType;
  const auto* block = static_cast<const unsigned char*>(capability.hContainer);
  if (block == nullptr) return out;
  out.itemType = Field<TW_UINT16>(block, offsetof(TW_ONEVALUE, ItemType));
  const std::size_t size = ItemBytes(out.itemType);
  if (out.conType == TWON_ONEVALUE) {
    out.oneValueField = Field<TW_UINT32>(block, offsetof(TW_ONEVALUE, Item));
    out.items.push_back(ItemValue(out.itemType, block + offsetof(TW_ONEVALUE, Item)));
  } else if (out.conType == TWON_ENUMERATION) {
    const auto count = Field<TW_UINT32>(block, offsetof(TW_ENUMERATION, NumItems));
    out.currentIndex = Field<TW_UINT32>(block, offsetof(TW_ENUMERATION, CurrentIndex));
    out.defaultIndex = Field<TW_UINT32>(block, offsetof(TW_ENUMERATION, DefaultIndex));
    for (TW_UINT32 i = 0; i < count; ++i) {
      out.items.push_back(ItemValue(out.itemType, block + offsetof(TW_ENUMERATION, ItemList) + i * size));
    }
  } else if (out.conType == TWON_ARRAY) {
    const auto count = Field<TW_UINT32>(block, offsetof(TW_ARRAY, NumItems));
    for (TW_UINT32 i = 0; i < count; ++i) {
      out.items.push_back(ItemValue(out.itemType, block + offsetof(TW_ARRAY, ItemList) + i * size));
    }
  }
  std::free(capability.hContainer);
  capability.hContainer = nullptr;
  return out;
}

// A TW_ONEVALUE block as an application builds it for MSG_SET (malloc'd, exactly sized).
inline TW_HANDLE MakeOneValue(TW_UINT16 itemType, TW_UINT32 item) {
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(TW_ONEVALUE)));
  std::memcpy(block + offsetof(TW_ONEVALUE, ItemType), &itemType, sizeof itemType);
  std::memcpy(block + offsetof(TW_ONEVALUE, Item), &item, sizeof item);
  return block;
}

inline TW_UINT32 Fix32Field(double value) {
  const TW_FIX32 fix = FloatToFix32(value);
  TW_UINT32 field;
  std::memcpy(&field, &fix, sizeof field);
  return field;
}
