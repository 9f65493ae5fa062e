#include "twain/capabilities/CapabilityCatalogue.h"

#include <array>

#include "twain/capabilities/CapabilityStorage.h"

namespace {

// A capability with one default and one current value, both `initial`.
template <typename T, std::size_t N>
constexpr CapabilityValueBlock<T, N> Values(const T (&supported)[N], T initial) {
  CapabilityValueBlock<T, N> block{};
  for (std::size_t i = 0; i < N; ++i) block.supported[i] = supported[i];
  block.defaults[0] = initial;
  block.current[0] = initial;
  return block;
}

// A list capability whose default and current lists equal its supported list.
template <typename T, std::size_t N>
constexpr CapabilityValueBlock<T, N, N> ListValues(const T (&supported)[N]) {
  CapabilityValueBlock<T, N, N> block{};
  for (std::size_t i = 0; i < N; ++i) {
    block.supported[i] = supported[i];
    block.defaults[i] = supported[i];
    block.current[i] = supported[i];
  }
  return block;
}

constexpr TW_BOOL kTrueFalse[] = {TW_TRUE, TW_FALSE};
constexpr float kResolutions[] = {100.0f, 200.0f, 300.0f, 400.0f, 500.0f, 600.0f};

// What CAP_SUPPORTEDCAPS lists, in the order applications see it.
constexpr TW_UINT16 kSupportedCaps[] = {
    CAP_SUPPORTEDCAPS,  CAP_XFERCOUNT,     CAP_UICONTROLLABLE,  ICAP_XFERMECH,       ICAP_UNITS,
    ICAP_XRESOLUTION,   ICAP_YRESOLUTION,  CAP_FEEDERENABLED,   CAP_ENABLEDSUIONLY,  ICAP_PIXELTYPE,
    ICAP_BITDEPTH,      ICAP_PIXELFLAVOR,  ICAP_BITORDER,       ICAP_PLANARCHUNKY,   ICAP_SUPPORTEDSIZES,
    ICAP_ORIENTATION,   CAP_DEVICEONLINE,  ICAP_COMPRESSION,    ICAP_PHYSICALWIDTH,  ICAP_PHYSICALHEIGHT,
    CAP_FEEDERLOADED,   CAP_AUTOFEED,      CAP_AUTOSCAN,        CAP_CLEARPAGE,       CAP_FEEDPAGE,
    CAP_REWINDPAGE,     CAP_EXTENDEDCAPS,  ICAP_CONTRAST,       ICAP_BRIGHTNESS,     CAP_DUPLEX,
};

constexpr TW_UINT16 kExtendedCaps[] = {CAP_CLEARPAGE, CAP_FEEDPAGE, CAP_REWINDPAGE};

constexpr CapabilityStorage kInitialValues{
    .xferCount = Values<TW_INT16>({-1, 1}, -1),
    .compression = Values<TW_UINT16>({TWCP_NONE}, TWCP_NONE),
    .pixelType = Values<TW_UINT16>({TWPT_BW, TWPT_GRAY, TWPT_RGB, TWPT_PALETTE}, TWPT_RGB),
    .units = Values<TW_UINT16>({TWUN_INCHES}, TWUN_INCHES),
    .xferMech = Values<TW_UINT16>({TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY}, TWSX_NATIVE),
    .feederEnabled = Values(kTrueFalse, TW_TRUE),
    .feederLoaded = Values(kTrueFalse, TW_TRUE),
    .supportedCaps = ListValues(kSupportedCaps),
    .extendedCaps = ListValues(kExtendedCaps),
    .autoFeed = Values(kTrueFalse, TW_TRUE),
    .clearPage = Values(kTrueFalse, TW_FALSE),
    .feedPage = Values(kTrueFalse, TW_TRUE),
    .rewindPage = Values(kTrueFalse, TW_FALSE),
    .uiControllable = Values(kTrueFalse, TW_TRUE),
    .deviceOnline = Values<TW_BOOL>({TW_TRUE}, TW_TRUE),
    .autoScan = Values(kTrueFalse, TW_TRUE),
    .duplex = Values<TW_UINT16>({TWDX_NONE}, TWDX_NONE),
    .enableDsUiOnly = Values<TW_BOOL>({TW_FALSE}, TW_FALSE),
    .brightness = Values<float>({0.0f}, 0.0f),
    .contrast = Values<float>({0.0f}, 0.0f),
    .orientation = Values<TW_UINT16>({TWOR_PORTRAIT, TWOR_LANDSCAPE}, TWOR_PORTRAIT),
    .physicalWidth = Values<float>({8.5f}, 8.5f),
    .physicalHeight = Values<float>({11.0f}, 11.0f),
    .xResolution = Values(kResolutions, 300.0f),
    .yResolution = Values(kResolutions, 300.0f),
    .bitOrder = Values<TW_UINT16>({TWBO_MSBFIRST}, TWBO_MSBFIRST),
    .pixelFlavor = Values<TW_UINT16>({TWPF_CHOCOLATE, TWPF_VANILLA}, TWPF_CHOCOLATE),
    .planarChunky = Values<TW_UINT16>({TWPC_PLANAR}, TWPC_PLANAR),
    .supportedSizes = Values<TW_UINT16>({TWSS_NONE, TWSS_USLETTER}, TWSS_NONE),
    .bitDepth = Values<TW_UINT16>({1, 8, 24}, 24),
};

constinit CapabilityStorage g_liveValues = kInitialValues;

constexpr std::array<TW_UINT16, 29> kCreationOrder = {
    CAP_XFERCOUNT,       ICAP_COMPRESSION,   ICAP_XFERMECH,      ICAP_UNITS,         ICAP_PIXELTYPE,
    ICAP_BITDEPTH,       ICAP_PIXELFLAVOR,   ICAP_PHYSICALWIDTH, ICAP_PHYSICALHEIGHT, ICAP_XRESOLUTION,
    ICAP_YRESOLUTION,    CAP_UICONTROLLABLE, CAP_FEEDERENABLED,  CAP_FEEDERLOADED,   CAP_ENABLEDSUIONLY,
    ICAP_BITORDER,       ICAP_PLANARCHUNKY,  ICAP_SUPPORTEDSIZES, ICAP_ORIENTATION,  CAP_DEVICEONLINE,
    CAP_AUTOFEED,        CAP_AUTOSCAN,       CAP_EXTENDEDCAPS,   CAP_FEEDPAGE,       CAP_CLEARPAGE,
    CAP_REWINDPAGE,      ICAP_CONTRAST,      ICAP_BRIGHTNESS,    CAP_DUPLEX,
};

constexpr TW_UINT16 kOne = TWON_ONEVALUE;
constexpr TW_UINT16 kEnum = TWON_ENUMERATION;
constexpr TW_UINT16 kArray = TWON_ARRAY;
constexpr TW_UINT32 kReadWrite = CapabilityInfo::kReadWrite;
constexpr TW_UINT32 kReadOnly = CapabilityInfo::kReadOnly;

template <typename T, std::size_t S, std::size_t N>
std::unique_ptr<CapStateStorageItem> Make(TW_UINT16 id, TW_UINT16 itemType, TW_UINT16 getContainer,
                                          TW_UINT16 currentContainer, TW_UINT32 mask,
                                          CapabilityValueBlock<T, S, N>& block) {
  static_assert(sizeof(T) == 2 || sizeof(T) == 4);
  auto list = [](T* items, std::size_t count) {
    return CapabilityValueList{reinterpret_cast<std::byte*>(items), static_cast<TW_UINT32>(count)};
  };
  return std::make_unique<CapStateStorageItem>(CapabilityInfo{id, itemType, getContainer, currentContainer, mask},
                                               list(block.supported, S), list(block.defaults, N),
                                               list(block.current, N));
}

}  // namespace

CapabilityStorage& LiveCapabilityStorage() { return g_liveValues; }

namespace capability_catalogue {

std::span<const TW_UINT16> CreationOrder() { return kCreationOrder; }

void RestoreInitialValues() { g_liveValues = kInitialValues; }

std::unique_ptr<CapStateStorageItem> Create(TW_UINT16 id) {
  CapabilityStorage& v = g_liveValues;
  switch (id) {
    case CAP_XFERCOUNT: return Make(id, TWTY_INT16, kOne, kOne, kReadWrite, v.xferCount);
    case ICAP_COMPRESSION: return Make(id, TWTY_UINT16, kEnum, kOne, kReadWrite, v.compression);
    case ICAP_PIXELTYPE: return Make(id, TWTY_UINT16, kEnum, kOne, kReadWrite, v.pixelType);
    case ICAP_UNITS: return Make(id, TWTY_UINT16, kEnum, kOne, kReadWrite, v.units);
    case ICAP_XFERMECH: return Make(id, TWTY_UINT16, kEnum, kOne, kReadWrite, v.xferMech);
    case CAP_FEEDERENABLED: return Make(id, TWTY_BOOL, kOne, kOne, kReadWrite, v.feederEnabled);
    case CAP_FEEDERLOADED: return Make(id, TWTY_BOOL, kOne, kOne, kReadOnly, v.feederLoaded);
    case CAP_SUPPORTEDCAPS: return Make(id, TWTY_UINT16, kArray, kArray, kReadOnly, v.supportedCaps);
    case CAP_EXTENDEDCAPS: return Make(id, TWTY_UINT16, kArray, kArray, kReadOnly, v.extendedCaps);
    case CAP_AUTOFEED: return Make(id, TWTY_BOOL, kOne, kOne, kReadWrite, v.autoFeed);
    case CAP_CLEARPAGE: return Make(id, TWTY_BOOL, kOne, kOne, kReadWrite, v.clearPage);
    case CAP_FEEDPAGE: return Make(id, TWTY_BOOL, kOne, kOne, kReadWrite, v.feedPage);
    case CAP_REWINDPAGE: return Make(id, TWTY_BOOL, kOne, kOne, kReadWrite, v.rewindPage);
    case CAP_UICONTROLLABLE: return Make(id, TWTY_BOOL, kOne, kOne, kReadOnly, v.uiControllable);
    case CAP_DEVICEONLINE: return Make(id, TWTY_BOOL, kOne, kOne, kReadOnly, v.deviceOnline);
    case CAP_AUTOSCAN: return Make(id, TWTY_BOOL, kOne, kOne, kReadWrite, v.autoScan);
    case CAP_DUPLEX: return Make(id, TWTY_UINT16, kOne, kOne, kReadWrite, v.duplex);
    case CAP_ENABLEDSUIONLY: return Make(id, TWTY_BOOL, kOne, kOne, kReadOnly, v.enableDsUiOnly);
    case ICAP_BRIGHTNESS: return Make(id, TWTY_FIX32, kEnum, kOne, kReadWrite, v.brightness);
    case ICAP_CONTRAST: return Make(id, TWTY_FIX32, kEnum, kOne, kReadWrite, v.contrast);
    case ICAP_ORIENTATION: return Make(id, TWTY_UINT16, kEnum, kEnum, kReadWrite, v.orientation);
    case ICAP_PHYSICALWIDTH: return Make(id, TWTY_FIX32, kOne, kOne, kReadOnly, v.physicalWidth);
    case ICAP_PHYSICALHEIGHT: return Make(id, TWTY_FIX32, kOne, kOne, kReadOnly, v.physicalHeight);
    case ICAP_XRESOLUTION: return Make(id, TWTY_FIX32, kEnum, kOne, kReadWrite, v.xResolution);
    case ICAP_YRESOLUTION: return Make(id, TWTY_FIX32, kEnum, kOne, kReadWrite, v.yResolution);
    case ICAP_BITORDER: return Make(id, TWTY_UINT16, kOne, kOne, kReadWrite, v.bitOrder);
    case ICAP_PIXELFLAVOR: return Make(id, TWTY_UINT16, kEnum, kOne, kReadWrite, v.pixelFlavor);
    case ICAP_PLANARCHUNKY: return Make(id, TWTY_UINT16, kEnum, kEnum, kReadWrite, v.planarChunky);
    case ICAP_SUPPORTEDSIZES: return Make(id, TWTY_UINT16, kEnum, kEnum, kReadWrite, v.supportedSizes);
    case ICAP_BITDEPTH: return Make(id, TWTY_UINT16, kEnum, kOne, kReadWrite, v.bitDepth);
    default: return nullptr;
  }
}

}  // namespace capability_catalogue
