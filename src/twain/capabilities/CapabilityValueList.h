#pragma once

#include <cstddef>

#include "twain/twain.h"

// A run of `count` stored items of one capability, packed item after item. The items belong to
// the process-wide value storage (or, in tests, to the caller); the list only points at them.
struct CapabilityValueList {
  std::byte* items = nullptr;
  TW_UINT32 count = 0;
};
