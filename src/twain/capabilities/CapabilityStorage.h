#pragma once

#include <cstddef>

#include "twain/twain.h"

// The process-wide capability values, private to the capabilities folder. One block per
// capability, items in stored form (FIX32 as float). Constant-initialised: no code runs to set
// them up, and they live until the library is unloaded.
template <typename T, std::size_t SupportedCount, std::size_t ValueCount = 1>
struct CapabilityValueBlock {
  T supported[SupportedCount];
  T defaults[ValueCount];
  T current[ValueCount];
};

struct CapabilityStorage {
  CapabilityValueBlock<TW_INT16, 2> xferCount;
  CapabilityValueBlock<TW_UINT16, 1> compression;
  CapabilityValueBlock<TW_UINT16, 4> pixelType;
  CapabilityValueBlock<TW_UINT16, 1> units;
  CapabilityValueBlock<TW_UINT16, 3> xferMech;
  CapabilityValueBlock<TW_BOOL, 2> feederEnabled;
  CapabilityValueBlock<TW_BOOL, 2> feederLoaded;
  CapabilityValueBlock<TW_UINT16, 30, 30> supportedCaps;
  CapabilityValueBlock<TW_UINT16, 3, 3> extendedCaps;
  CapabilityValueBlock<TW_BOOL, 2> autoFeed;
  CapabilityValueBlock<TW_BOOL, 2> clearPage;
  CapabilityValueBlock<TW_BOOL, 2> feedPage;
  CapabilityValueBlock<TW_BOOL, 2> rewindPage;
  CapabilityValueBlock<TW_BOOL, 2> uiControllable;
  CapabilityValueBlock<TW_BOOL, 1> deviceOnline;
  CapabilityValueBlock<TW_BOOL, 2> autoScan;
  CapabilityValueBlock<TW_UINT16, 1> duplex;
  CapabilityValueBlock<TW_BOOL, 1> enableDsUiOnly;
  CapabilityValueBlock<float, 1> brightness;
  CapabilityValueBlock<float, 1> contrast;
  CapabilityValueBlock<TW_UINT16, 2> orientation;
  CapabilityValueBlock<float, 1> physicalWidth;
  CapabilityValueBlock<float, 1> physicalHeight;
  CapabilityValueBlock<float, 6> xResolution;
  CapabilityValueBlock<float, 6> yResolution;
  CapabilityValueBlock<TW_UINT16, 1> bitOrder;
  CapabilityValueBlock<TW_UINT16, 2> pixelFlavor;
  CapabilityValueBlock<TW_UINT16, 1> planarChunky;
  CapabilityValueBlock<TW_UINT16, 2> supportedSizes;
  CapabilityValueBlock<TW_UINT16, 3> bitDepth;
};

// The live values (the application's thread writes them; see CapabilityValues for readers).
CapabilityStorage& LiveCapabilityStorage();
