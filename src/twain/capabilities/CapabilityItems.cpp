#include "twain/capabilities/CapabilityItems.h"

#include <bit>
#include <cstdint>
#include <cstring>

// Values travel in TWAIN containers in the machine's byte order; the narrow reads of a
// TW_ONEVALUE's Item field below rely on its low-order bytes coming first.
static_assert(std::endian::native == std::endian::little);

namespace capability_items {
namespace {

template <typename T>
T Load(const std::byte* source) {
  T value;
  std::memcpy(&value, source, sizeof value);
  return value;
}

template <typename T>
void Store(std::byte* destination, T value) {
  std::memcpy(destination, &value, sizeof value);
}

}  // namespace

std::size_t StoredSize(TW_UINT16 itemType) {
  switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8:
      return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL:
      return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32:
      return 4;
    default:
      return 0;
  }
}

std::size_t ContainerSize(TW_UINT16 itemType) {
  // A float and a TW_FIX32 are both four bytes, so both forms have the same width.
  return StoredSize(itemType);
}

void WriteContainerItem(TW_UINT16 itemType, const std::byte* stored, std::byte* destination) {
  if (itemType == TWTY_FIX32) {
    Store(destination, FloatToFix32(Load<float>(stored)));
    return;
  }
  std::memcpy(destination, stored, StoredSize(itemType));
}

TW_UINT32 OneValueField(TW_UINT16 itemType, const std::byte* stored) {
  switch (StoredSize(itemType)) {
    case 1:
      return Load<std::uint8_t>(stored);
    case 2:
      return Load<std::uint16_t>(stored);
    case 4: {
      std::byte field[4];
      WriteContainerItem(itemType, stored, field);
      return Load<TW_UINT32>(field);
    }
    default:
      return 0;
  }
}

void ReadOneValueItem(TW_UINT16 itemType, const std::byte* source, std::byte* stored) {
  if (itemType == TWTY_FIX32) {
    Store(stored, static_cast<float>(Fix32ToFloat(Load<TW_FIX32>(source))));
    return;
  }
  std::memcpy(stored, source, StoredSize(itemType));
}

TW_INT32 StoredAsInt32(TW_UINT16 itemType, const std::byte* stored) {
  switch (StoredSize(itemType)) {
    case 1:
      return Load<std::int8_t>(stored);
    case 2:
      return Load<std::int16_t>(stored);
    case 4:
      return Load<std::int32_t>(stored);
    default:
      return 0;
  }
}

}  // namespace capability_items
