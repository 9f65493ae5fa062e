#pragma once

#include <memory>
#include <span>

#include "twain/capabilities/CapStateStorageItem.h"
#include "twain/twain.h"

// The thirty capabilities the source offers, over one process-wide block of values: the objects
// made here may be destroyed and made again, their values stay what the application last set
// until the library is unloaded.
namespace capability_catalogue {

// The order in which the driver creates the capabilities when an application opens the source;
// CAP_SUPPORTEDCAPS is not in it (it is made last, separately).
std::span<const TW_UINT16> CreationOrder();

// A new object for the capability over its process-wide values; nullptr for an id the source
// does not offer.
std::unique_ptr<CapStateStorageItem> Create(TW_UINT16 id);

// Puts every value back to what a fresh process holds.
void RestoreInitialValues();

}  // namespace capability_catalogue
