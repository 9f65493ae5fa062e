// Velloran's own TWAIN declarations: the basic types, every structure laid out
// exactly as the data source manager and applications lay them out (pack(2)),
// the constants with their TWAIN names, the entry point types and the TW_FIX32
// conversions. Sizes and key offsets are pinned below for 64-bit Linux.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Basic types
// ---------------------------------------------------------------------------
using TW_INT8 = char;
using TW_UINT8 = unsigned char;
using TW_INT16 = std::int16_t;
using TW_UINT16 = std::uint16_t;
using TW_INT32 = std::int32_t;  // exactly 32 bits everywhere, never long
using TW_UINT32 = std::uint32_t;
using TW_BOOL = std::uint16_t;  // two bytes, not int
using TW_HANDLE = void*;
using TW_MEMREF = void*;
using TW_UINTPTR = std::uintptr_t;

using TW_STR32 = char[34];  // 32 characters + NUL, padded to even
using TW_STR64 = char[66];
using TW_STR128 = char[130];
using TW_STR255 = char[256];
using TW_STR1024 = unsigned char[1026];  // deprecated item type
using TW_UNI512 = wchar_t[512];          // deprecated item type; wchar_t is 4 bytes here

inline constexpr TW_BOOL TW_TRUE = 1;
inline constexpr TW_BOOL TW_FALSE = 0;

// ---------------------------------------------------------------------------
// Structures. Every member aligns to at most 2 bytes, so 32-bit fields and
// pointers are often unaligned: copy them through the structure or memcpy,
// never through a plain pointer to the member.
// ---------------------------------------------------------------------------
#pragma pack(push, 2)

struct TW_FIX32 {
  TW_INT16 Whole;
  TW_UINT16 Frac;
};

struct TW_FRAME {
  TW_FIX32 Left;
  TW_FIX32 Top;
  TW_FIX32 Right;
  TW_FIX32 Bottom;
};

struct TW_VERSION {
  TW_UINT16 MajorNum;
  TW_UINT16 MinorNum;
  TW_UINT16 Language;
  TW_UINT16 Country;
  TW_STR32 Info;
};

struct TW_IDENTITY {
  TW_UINT32 Id;
  TW_VERSION Version;
  TW_UINT16 ProtocolMajor;
  TW_UINT16 ProtocolMinor;
  TW_UINT32 SupportedGroups;
  TW_STR32 Manufacturer;
  TW_STR32 ProductFamily;
  TW_STR32 ProductName;
};

struct TW_STATUS {
  TW_UINT16 ConditionCode;
  union {
    TW_UINT16 Data;
    TW_UINT16 Reserved;
  };
};

struct TW_USERINTERFACE {
  TW_BOOL ShowUI;
  TW_BOOL ModalUI;
  TW_HANDLE hParent;
};

struct TW_PENDINGXFERS {
  TW_UINT16 Count;
  union {
    TW_UINT32 EOJ;
    TW_UINT32 Reserved;
  };
};

struct TW_EVENT {
  TW_MEMREF pEvent;
  TW_UINT16 TWMessage;
};

struct TW_CAPABILITY {
  TW_UINT16 Cap;
  TW_UINT16 ConType;
  TW_HANDLE hContainer;
};

// Item holds one value of ItemType; items wider than 4 bytes start at offset 2
// of a container allocated as 2 + item size.
struct TW_ONEVALUE {
  TW_UINT16 ItemType;
  TW_UINT32 Item;
};

// ItemList is a variable-length tail: allocate offsetof(ItemList) + count * item size.
struct TW_ENUMERATION {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT32 CurrentIndex;
  TW_UINT32 DefaultIndex;
  TW_UINT8 ItemList[1];
};

struct TW_ARRAY {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT8 ItemList[1];
};

// For TWTY_FIX32 ranges the value fields hold the four TW_FIX32 bytes.
struct TW_RANGE {
  TW_UINT16 ItemType;
  TW_UINT32 MinValue;
  TW_UINT32 MaxValue;
  TW_UINT32 StepSize;
  TW_UINT32 DefaultValue;
  TW_UINT32 CurrentValue;
};

struct TW_IMAGEINFO {
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  TW_INT32 ImageWidth;
  TW_INT32 ImageLength;
  TW_INT16 SamplesPerPixel;
  TW_INT16 BitsPerSample[8];
  TW_INT16 BitsPerPixel;
  TW_BOOL Planar;
  TW_INT16 PixelType;
  TW_UINT16 Compression;
};

struct TW_ELEMENT8 {
  TW_UINT8 Index;
  TW_UINT8 Channel1;
  TW_UINT8 Channel2;
  TW_UINT8 Channel3;
};

struct TW_PALETTE8 {
  TW_UINT16 NumColors;
  TW_UINT16 PaletteType;
  TW_ELEMENT8 Colors[256];
};

struct TW_SETUPMEMXFER {
  TW_UINT32 MinBufSize;
  TW_UINT32 MaxBufSize;
  TW_UINT32 Preferred;
};

struct TW_SETUPFILEXFER {
  TW_STR255 FileName;
  TW_UINT16 Format;
  TW_INT16 VRefNum;
};

struct TW_MEMORY {
  TW_UINT32 Flags;
  TW_UINT32 Length;
  TW_MEMREF TheMem;
};

struct TW_IMAGEMEMXFER {
  TW_UINT16 Compression;
  TW_UINT32 BytesPerRow;
  TW_UINT32 Columns;
  TW_UINT32 Rows;
  TW_UINT32 XOffset;
  TW_UINT32 YOffset;
  TW_UINT32 BytesWritten;
  TW_MEMORY Memory;
};

struct TW_CALLBACK {
  TW_MEMREF CallBackProc;
  TW_UINT32 RefCon;
  TW_INT16 Message;
};

struct TW_CALLBACK2 {
  TW_MEMREF CallBackProc;
  TW_UINTPTR RefCon;
  TW_INT16 Message;
};

extern "C" {
using DSMENTRYPROC = TW_UINT16 (*)(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG,
                                   TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
using DSENTRYPROC = TW_UINT16 (*)(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT,
                                  TW_UINT16 MSG, TW_MEMREF pData);
using TWAINCALLBACKPROC = TW_UINT16 (*)(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG,
                                        TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
using DSM_MEMALLOCATE = TW_HANDLE (*)(TW_UINT32 size);
using DSM_MEMFREE = void (*)(TW_HANDLE handle);
using DSM_MEMLOCK = TW_MEMREF (*)(TW_HANDLE handle);
using DSM_MEMUNLOCK = void (*)(TW_HANDLE handle);
}

struct TW_ENTRYPOINT {
  TW_UINT32 Size;
  DSMENTRYPROC DSM_Entry;
  DSM_MEMALLOCATE DSM_MemAllocate;
  DSM_MEMFREE DSM_MemFree;
  DSM_MEMLOCK DSM_MemLock;
  DSM_MEMUNLOCK DSM_MemUnlock;
};

struct TW_IMAGELAYOUT {
  TW_FRAME Frame;
  TW_UINT32 DocumentNumber;
  TW_UINT32 PageNumber;
  TW_UINT32 FrameNumber;
};

struct TW_CUSTOMDSDATA {
  TW_UINT32 InfoLength;
  TW_HANDLE hData;
};

struct TW_STATUSUTF8 {
  TW_STATUS Status;
  TW_UINT32 Size;
  TW_HANDLE UTF8string;
};

struct TW_INFO {
  TW_UINT16 InfoID;
  TW_UINT16 ItemType;
  TW_UINT16 NumItems;
  union {
    TW_UINT16 ReturnCode;
    TW_UINT16 CondCode;  // deprecated name
  };
  TW_UINTPTR Item;
};

struct TW_EXTIMAGEINFO {
  TW_UINT32 NumInfos;
  TW_INFO Info[1];
};

#pragma pack(pop)

using pTW_IDENTITY = TW_IDENTITY*;
using pTW_STATUS = TW_STATUS*;
using pTW_USERINTERFACE = TW_USERINTERFACE*;
using pTW_PENDINGXFERS = TW_PENDINGXFERS*;
using pTW_EVENT = TW_EVENT*;
using pTW_CAPABILITY = TW_CAPABILITY*;
using pTW_ONEVALUE = TW_ONEVALUE*;
using pTW_ENUMERATION = TW_ENUMERATION*;
using pTW_ARRAY = TW_ARRAY*;
using pTW_RANGE = TW_RANGE*;
using pTW_IMAGEINFO = TW_IMAGEINFO*;
using pTW_PALETTE8 = TW_PALETTE8*;
using pTW_SETUPMEMXFER = TW_SETUPMEMXFER*;
using pTW_SETUPFILEXFER = TW_SETUPFILEXFER*;
using pTW_IMAGEMEMXFER = TW_IMAGEMEMXFER*;
using pTW_CALLBACK = TW_CALLBACK*;
using pTW_ENTRYPOINT = TW_ENTRYPOINT*;

// ---------------------------------------------------------------------------
// Layout pins (64-bit Linux; the 32-bit layouts differ only where pointers are)
// ---------------------------------------------------------------------------
static_assert(sizeof(TW_INT32) == 4 && sizeof(TW_UINT32) == 4);
static_assert(sizeof(TW_BOOL) == 2);
static_assert(sizeof(TW_STR32) == 34 && sizeof(TW_STR64) == 66 && sizeof(TW_STR128) == 130 &&
              sizeof(TW_STR255) == 256);
static_assert(sizeof(TW_FIX32) == 4);
static_assert(sizeof(TW_FRAME) == 16);
static_assert(sizeof(TW_VERSION) == 42 && offsetof(TW_VERSION, Info) == 8);
static_assert(sizeof(TW_IDENTITY) == 156);
static_assert(offsetof(TW_IDENTITY, Version) == 4 && offsetof(TW_IDENTITY, ProtocolMajor) == 46 &&
              offsetof(TW_IDENTITY, ProtocolMinor) == 48 &&
              offsetof(TW_IDENTITY, SupportedGroups) == 50 &&
              offsetof(TW_IDENTITY, Manufacturer) == 54 &&
              offsetof(TW_IDENTITY, ProductFamily) == 88 &&
              offsetof(TW_IDENTITY, ProductName) == 122);
static_assert(sizeof(TW_STATUS) == 4 && offsetof(TW_STATUS, Reserved) == 2);
static_assert(sizeof(TW_PENDINGXFERS) == 6 && offsetof(TW_PENDINGXFERS, EOJ) == 2);
static_assert(sizeof(TW_ONEVALUE) == 6 && offsetof(TW_ONEVALUE, Item) == 2);
static_assert(sizeof(TW_ENUMERATION) == 16 && offsetof(TW_ENUMERATION, ItemList) == 14);
static_assert(sizeof(TW_ARRAY) == 8 && offsetof(TW_ARRAY, ItemList) == 6);
static_assert(sizeof(TW_RANGE) == 22 && offsetof(TW_RANGE, CurrentValue) == 18);
static_assert(sizeof(TW_IMAGEINFO) == 42 && offsetof(TW_IMAGEINFO, BitsPerSample) == 18 &&
              offsetof(TW_IMAGEINFO, BitsPerPixel) == 34 &&
              offsetof(TW_IMAGEINFO, Compression) == 40);
static_assert(sizeof(TW_ELEMENT8) == 4);
static_assert(sizeof(TW_PALETTE8) == 1028 && offsetof(TW_PALETTE8, Colors) == 4);
static_assert(sizeof(TW_SETUPMEMXFER) == 12);
static_assert(sizeof(TW_SETUPFILEXFER) == 260 && offsetof(TW_SETUPFILEXFER, Format) == 256);
static_assert(sizeof(TW_IMAGELAYOUT) == 28);
static_assert(sizeof(void*) == 8, "the pins below are for 64-bit builds");
static_assert(sizeof(TW_USERINTERFACE) == 12 && offsetof(TW_USERINTERFACE, hParent) == 4);
static_assert(sizeof(TW_EVENT) == 10 && offsetof(TW_EVENT, TWMessage) == 8);
static_assert(sizeof(TW_CAPABILITY) == 12 && offsetof(TW_CAPABILITY, hContainer) == 4);
static_assert(sizeof(TW_MEMORY) == 16 && offsetof(TW_MEMORY, TheMem) == 8);
static_assert(sizeof(TW_IMAGEMEMXFER) == 42 && offsetof(TW_IMAGEMEMXFER, BytesPerRow) == 2 &&
              offsetof(TW_IMAGEMEMXFER, Memory) == 26);
static_assert(sizeof(TW_CALLBACK) == 14 && offsetof(TW_CALLBACK, RefCon) == 8 &&
              offsetof(TW_CALLBACK, Message) == 12);
static_assert(sizeof(TW_CALLBACK2) == 18 && offsetof(TW_CALLBACK2, Message) == 16);
static_assert(sizeof(TW_ENTRYPOINT) == 44 && offsetof(TW_ENTRYPOINT, DSM_Entry) == 4 &&
              offsetof(TW_ENTRYPOINT, DSM_MemUnlock) == 36);
static_assert(sizeof(TW_CUSTOMDSDATA) == 12);
static_assert(sizeof(TW_STATUSUTF8) == 16);
static_assert(sizeof(TW_INFO) == 16 && offsetof(TW_INFO, Item) == 8);
static_assert(sizeof(TW_EXTIMAGEINFO) == 20 && offsetof(TW_EXTIMAGEINFO, Info) == 4);

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------
// Data groups (DG_) and feature flags (DF_)
inline constexpr TW_UINT32 DG_CONTROL = 0x0001;
inline constexpr TW_UINT32 DG_IMAGE = 0x0002;
inline constexpr TW_UINT32 DG_AUDIO = 0x0004;
inline constexpr TW_UINT32 DF_DSM2 = 0x10000000;
inline constexpr TW_UINT32 DF_APP2 = 0x20000000;
inline constexpr TW_UINT32 DF_DS2 = 0x40000000;
inline constexpr TW_UINT32 DG_MASK = 0xFFFF;

// Data argument types (DAT_)
inline constexpr TW_UINT16 DAT_NULL = 0x0000;
inline constexpr TW_UINT16 DAT_CUSTOMBASE = 0x8000;
inline constexpr TW_UINT16 DAT_CAPABILITY = 0x0001;
inline constexpr TW_UINT16 DAT_EVENT = 0x0002;
inline constexpr TW_UINT16 DAT_IDENTITY = 0x0003;
inline constexpr TW_UINT16 DAT_PARENT = 0x0004;
inline constexpr TW_UINT16 DAT_PENDINGXFERS = 0x0005;
inline constexpr TW_UINT16 DAT_SETUPMEMXFER = 0x0006;
inline constexpr TW_UINT16 DAT_SETUPFILEXFER = 0x0007;
inline constexpr TW_UINT16 DAT_STATUS = 0x0008;
inline constexpr TW_UINT16 DAT_USERINTERFACE = 0x0009;
inline constexpr TW_UINT16 DAT_XFERGROUP = 0x000A;
inline constexpr TW_UINT16 DAT_CUSTOMDSDATA = 0x000C;
inline constexpr TW_UINT16 DAT_DEVICEEVENT = 0x000D;
inline constexpr TW_UINT16 DAT_FILESYSTEM = 0x000E;
inline constexpr TW_UINT16 DAT_PASSTHRU = 0x000F;
inline constexpr TW_UINT16 DAT_CALLBACK = 0x0010;
inline constexpr TW_UINT16 DAT_STATUSUTF8 = 0x0011;
inline constexpr TW_UINT16 DAT_CALLBACK2 = 0x0012;
inline constexpr TW_UINT16 DAT_METRICS = 0x0013;
inline constexpr TW_UINT16 DAT_TWAINDIRECT = 0x0014;
inline constexpr TW_UINT16 DAT_IMAGEINFO = 0x0101;
inline constexpr TW_UINT16 DAT_IMAGELAYOUT = 0x0102;
inline constexpr TW_UINT16 DAT_IMAGEMEMXFER = 0x0103;
inline constexpr TW_UINT16 DAT_IMAGENATIVEXFER = 0x0104;
inline constexpr TW_UINT16 DAT_IMAGEFILEXFER = 0x0105;
inline constexpr TW_UINT16 DAT_CIECOLOR = 0x0106;
inline constexpr TW_UINT16 DAT_GRAYRESPONSE = 0x0107;
inline constexpr TW_UINT16 DAT_RGBRESPONSE = 0x0108;
inline constexpr TW_UINT16 DAT_JPEGCOMPRESSION = 0x0109;
inline constexpr TW_UINT16 DAT_PALETTE8 = 0x010A;
inline constexpr TW_UINT16 DAT_EXTIMAGEINFO = 0x010B;
inline constexpr TW_UINT16 DAT_FILTER = 0x010C;
inline constexpr TW_UINT16 DAT_AUDIOFILEXFER = 0x0201;
inline constexpr TW_UINT16 DAT_AUDIOINFO = 0x0202;
inline constexpr TW_UINT16 DAT_AUDIONATIVEXFER = 0x0203;
inline constexpr TW_UINT16 DAT_ICCPROFILE = 0x0401;
inline constexpr TW_UINT16 DAT_IMAGEMEMFILEXFER = 0x0402;
inline constexpr TW_UINT16 DAT_ENTRYPOINT = 0x0403;
inline constexpr TW_UINT16 DAT_TWUNKIDENTITY = 0x000B;
inline constexpr TW_UINT16 DAT_SETUPFILEXFER2 = 0x0301;  // deprecated

// Messages (MSG_)
inline constexpr TW_UINT16 MSG_NULL = 0x0000;
inline constexpr TW_UINT16 MSG_CUSTOMBASE = 0x8000;
inline constexpr TW_UINT16 MSG_GET = 0x0001;
inline constexpr TW_UINT16 MSG_GETCURRENT = 0x0002;
inline constexpr TW_UINT16 MSG_GETDEFAULT = 0x0003;
inline constexpr TW_UINT16 MSG_GETFIRST = 0x0004;
inline constexpr TW_UINT16 MSG_GETNEXT = 0x0005;
inline constexpr TW_UINT16 MSG_SET = 0x0006;
inline constexpr TW_UINT16 MSG_RESET = 0x0007;
inline constexpr TW_UINT16 MSG_QUERYSUPPORT = 0x0008;
inline constexpr TW_UINT16 MSG_GETHELP = 0x0009;
inline constexpr TW_UINT16 MSG_GETLABEL = 0x000A;
inline constexpr TW_UINT16 MSG_GETLABELENUM = 0x000B;
inline constexpr TW_UINT16 MSG_SETCONSTRAINT = 0x000C;
inline constexpr TW_UINT16 MSG_XFERREADY = 0x0101;
inline constexpr TW_UINT16 MSG_CLOSEDSREQ = 0x0102;
inline constexpr TW_UINT16 MSG_CLOSEDSOK = 0x0103;
inline constexpr TW_UINT16 MSG_DEVICEEVENT = 0x0104;
inline constexpr TW_UINT16 MSG_OPENDSM = 0x0301;
inline constexpr TW_UINT16 MSG_CLOSEDSM = 0x0302;
inline constexpr TW_UINT16 MSG_OPENDS = 0x0401;
inline constexpr TW_UINT16 MSG_CLOSEDS = 0x0402;
inline constexpr TW_UINT16 MSG_USERSELECT = 0x0403;
inline constexpr TW_UINT16 MSG_DISABLEDS = 0x0501;
inline constexpr TW_UINT16 MSG_ENABLEDS = 0x0502;
inline constexpr TW_UINT16 MSG_ENABLEDSUIONLY = 0x0503;
inline constexpr TW_UINT16 MSG_PROCESSEVENT = 0x0601;
inline constexpr TW_UINT16 MSG_ENDXFER = 0x0701;
inline constexpr TW_UINT16 MSG_STOPFEEDER = 0x0702;
inline constexpr TW_UINT16 MSG_CHANGEDIRECTORY = 0x0801;
inline constexpr TW_UINT16 MSG_CREATEDIRECTORY = 0x0802;
inline constexpr TW_UINT16 MSG_DELETE = 0x0803;
inline constexpr TW_UINT16 MSG_FORMATMEDIA = 0x0804;
inline constexpr TW_UINT16 MSG_GETCLOSE = 0x0805;
inline constexpr TW_UINT16 MSG_GETFIRSTFILE = 0x0806;
inline constexpr TW_UINT16 MSG_GETINFO = 0x0807;
inline constexpr TW_UINT16 MSG_GETNEXTFILE = 0x0808;
inline constexpr TW_UINT16 MSG_RENAME = 0x0809;
inline constexpr TW_UINT16 MSG_COPY = 0x080A;
inline constexpr TW_UINT16 MSG_AUTOMATICCAPTUREDIRECTORY = 0x080B;
inline constexpr TW_UINT16 MSG_PASSTHRU = 0x0901;
inline constexpr TW_UINT16 MSG_REGISTER_CALLBACK = 0x0902;
inline constexpr TW_UINT16 MSG_RESETALL = 0x0A01;
inline constexpr TW_UINT16 MSG_SETTASK = 0x0B01;
inline constexpr TW_UINT16 MSG_CHECKSTATUS = 0x0201;
inline constexpr TW_UINT16 MSG_INVOKE_CALLBACK = 0x0903;  // deprecated

// Return codes (TWRC_) and condition codes (TWCC_)
inline constexpr TW_UINT16 TWRC_CUSTOMBASE = 0x8000;
inline constexpr TW_UINT16 TWRC_SUCCESS = 0x0000;
inline constexpr TW_UINT16 TWRC_FAILURE = 0x0001;
inline constexpr TW_UINT16 TWRC_CHECKSTATUS = 0x0002;
inline constexpr TW_UINT16 TWRC_CANCEL = 0x0003;
inline constexpr TW_UINT16 TWRC_DSEVENT = 0x0004;
inline constexpr TW_UINT16 TWRC_NOTDSEVENT = 0x0005;
inline constexpr TW_UINT16 TWRC_XFERDONE = 0x0006;
inline constexpr TW_UINT16 TWRC_ENDOFLIST = 0x0007;
inline constexpr TW_UINT16 TWRC_INFONOTSUPPORTED = 0x0008;
inline constexpr TW_UINT16 TWRC_DATANOTAVAILABLE = 0x0009;
inline constexpr TW_UINT16 TWRC_BUSY = 0x000A;
inline constexpr TW_UINT16 TWRC_SCANNERLOCKED = 0x000B;
inline constexpr TW_UINT16 TWCC_CUSTOMBASE = 0x8000;
inline constexpr TW_UINT16 TWCC_SUCCESS = 0x0000;
inline constexpr TW_UINT16 TWCC_BUMMER = 0x0001;
inline constexpr TW_UINT16 TWCC_LOWMEMORY = 0x0002;
inline constexpr TW_UINT16 TWCC_NODS = 0x0003;
inline constexpr TW_UINT16 TWCC_MAXCONNECTIONS = 0x0004;
inline constexpr TW_UINT16 TWCC_OPERATIONERROR = 0x0005;
inline constexpr TW_UINT16 TWCC_BADCAP = 0x0006;
inline constexpr TW_UINT16 TWCC_BADPROTOCOL = 0x0009;
inline constexpr TW_UINT16 TWCC_BADVALUE = 0x000A;
inline constexpr TW_UINT16 TWCC_SEQERROR = 0x000B;
inline constexpr TW_UINT16 TWCC_BADDEST = 0x000C;
inline constexpr TW_UINT16 TWCC_CAPUNSUPPORTED = 0x000D;
inline constexpr TW_UINT16 TWCC_CAPBADOPERATION = 0x000E;
inline constexpr TW_UINT16 TWCC_CAPSEQERROR = 0x000F;
inline constexpr TW_UINT16 TWCC_DENIED = 0x0010;
inline constexpr TW_UINT16 TWCC_FILEEXISTS = 0x0011;
inline constexpr TW_UINT16 TWCC_FILENOTFOUND = 0x0012;
inline constexpr TW_UINT16 TWCC_NOTEMPTY = 0x0013;
inline constexpr TW_UINT16 TWCC_PAPERJAM = 0x0014;
inline constexpr TW_UINT16 TWCC_PAPERDOUBLEFEED = 0x0015;
inline constexpr TW_UINT16 TWCC_FILEWRITEERROR = 0x0016;
inline constexpr TW_UINT16 TWCC_CHECKDEVICEONLINE = 0x0017;
inline constexpr TW_UINT16 TWCC_INTERLOCK = 0x0018;
inline constexpr TW_UINT16 TWCC_DAMAGEDCORNER = 0x0019;
inline constexpr TW_UINT16 TWCC_FOCUSERROR = 0x001A;
inline constexpr TW_UINT16 TWCC_DOCTOOLIGHT = 0x001B;
inline constexpr TW_UINT16 TWCC_DOCTOODARK = 0x001C;
inline constexpr TW_UINT16 TWCC_NOMEDIA = 0x001D;

// Container types, version and miscellaneous (TWON_)
inline constexpr TW_UINT16 TWON_PROTOCOLMINOR = 0x0005;
inline constexpr TW_UINT16 TWON_PROTOCOLMAJOR = 0x0002;
inline constexpr TW_UINT16 TWON_ARRAY = 0x0003;
inline constexpr TW_UINT16 TWON_ENUMERATION = 0x0004;
inline constexpr TW_UINT16 TWON_ONEVALUE = 0x0005;
inline constexpr TW_UINT16 TWON_RANGE = 0x0006;
inline constexpr TW_UINT16 TWON_ICONID = 0x03C2;
inline constexpr TW_UINT16 TWON_DSMID = 0x01CD;
inline constexpr TW_UINT16 TWON_DSMCODEID = 0x003F;
inline constexpr TW_UINT16 TWON_DONTCARE8 = 0x00FF;
inline constexpr TW_UINT16 TWON_DONTCARE16 = 0xFFFF;
inline constexpr TW_UINT32 TWON_DONTCARE32 = 0xFFFFFFFF;

// Item types (TWTY_)
inline constexpr TW_UINT16 TWTY_INT8 = 0x0000;
inline constexpr TW_UINT16 TWTY_INT16 = 0x0001;
inline constexpr TW_UINT16 TWTY_INT32 = 0x0002;
inline constexpr TW_UINT16 TWTY_UINT8 = 0x0003;
inline constexpr TW_UINT16 TWTY_UINT16 = 0x0004;
inline constexpr TW_UINT16 TWTY_UINT32 = 0x0005;
inline constexpr TW_UINT16 TWTY_BOOL = 0x0006;
inline constexpr TW_UINT16 TWTY_FIX32 = 0x0007;
inline constexpr TW_UINT16 TWTY_FRAME = 0x0008;
inline constexpr TW_UINT16 TWTY_STR32 = 0x0009;
inline constexpr TW_UINT16 TWTY_STR64 = 0x000A;
inline constexpr TW_UINT16 TWTY_STR128 = 0x000B;
inline constexpr TW_UINT16 TWTY_STR255 = 0x000C;
inline constexpr TW_UINT16 TWTY_HANDLE = 0x000F;
inline constexpr TW_UINT16 TWTY_STR1024 = 0x000D;
inline constexpr TW_UINT16 TWTY_UNI512 = 0x000E;

// Capabilities (CAP_)
inline constexpr TW_UINT16 CAP_CUSTOMBASE = 0x8000;
inline constexpr TW_UINT16 CAP_XFERCOUNT = 0x0001;
inline constexpr TW_UINT16 CAP_AUTHOR = 0x1000;
inline constexpr TW_UINT16 CAP_CAPTION = 0x1001;
inline constexpr TW_UINT16 CAP_FEEDERENABLED = 0x1002;
inline constexpr TW_UINT16 CAP_FEEDERLOADED = 0x1003;
inline constexpr TW_UINT16 CAP_TIMEDATE = 0x1004;
inline constexpr TW_UINT16 CAP_SUPPORTEDCAPS = 0x1005;
inline constexpr TW_UINT16 CAP_EXTENDEDCAPS = 0x1006;
inline constexpr TW_UINT16 CAP_AUTOFEED = 0x1007;
inline constexpr TW_UINT16 CAP_CLEARPAGE = 0x1008;
inline constexpr TW_UINT16 CAP_FEEDPAGE = 0x1009;
inline constexpr TW_UINT16 CAP_REWINDPAGE = 0x100A;
inline constexpr TW_UINT16 CAP_INDICATORS = 0x100B;
inline constexpr TW_UINT16 CAP_PAPERDETECTABLE = 0x100D;
inline constexpr TW_UINT16 CAP_UICONTROLLABLE = 0x100E;
inline constexpr TW_UINT16 CAP_DEVICEONLINE = 0x100F;
inline constexpr TW_UINT16 CAP_AUTOSCAN = 0x1010;
inline constexpr TW_UINT16 CAP_THUMBNAILSENABLED = 0x1011;
inline constexpr TW_UINT16 CAP_DUPLEX = 0x1012;
inline constexpr TW_UINT16 CAP_DUPLEXENABLED = 0x1013;
inline constexpr TW_UINT16 CAP_ENABLEDSUIONLY = 0x1014;
inline constexpr TW_UINT16 CAP_CUSTOMDSDATA = 0x1015;
inline constexpr TW_UINT16 CAP_ENDORSER = 0x1016;
inline constexpr TW_UINT16 CAP_JOBCONTROL = 0x1017;
inline constexpr TW_UINT16 CAP_ALARMS = 0x1018;
inline constexpr TW_UINT16 CAP_ALARMVOLUME = 0x1019;
inline constexpr TW_UINT16 CAP_AUTOMATICCAPTURE = 0x101A;
inline constexpr TW_UINT16 CAP_TIMEBEFOREFIRSTCAPTURE = 0x101B;
inline constexpr TW_UINT16 CAP_TIMEBETWEENCAPTURES = 0x101C;
inline constexpr TW_UINT16 CAP_MAXBATCHBUFFERS = 0x101E;
inline constexpr TW_UINT16 CAP_DEVICETIMEDATE = 0x101F;
inline constexpr TW_UINT16 CAP_POWERSUPPLY = 0x1020;
inline constexpr TW_UINT16 CAP_CAMERAPREVIEWUI = 0x1021;
inline constexpr TW_UINT16 CAP_DEVICEEVENT = 0x1022;
inline constexpr TW_UINT16 CAP_SERIALNUMBER = 0x1024;
inline constexpr TW_UINT16 CAP_PRINTER = 0x1026;
inline constexpr TW_UINT16 CAP_PRINTERENABLED = 0x1027;
inline constexpr TW_UINT16 CAP_PRINTERINDEX = 0x1028;
inline constexpr TW_UINT16 CAP_PRINTERMODE = 0x1029;
inline constexpr TW_UINT16 CAP_PRINTERSTRING = 0x102A;
inline constexpr TW_UINT16 CAP_PRINTERSUFFIX = 0x102B;
inline constexpr TW_UINT16 CAP_LANGUAGE = 0x102C;
inline constexpr TW_UINT16 CAP_FEEDERALIGNMENT = 0x102D;
inline constexpr TW_UINT16 CAP_FEEDERORDER = 0x102E;
inline constexpr TW_UINT16 CAP_REACQUIREALLOWED = 0x1030;
inline constexpr TW_UINT16 CAP_BATTERYMINUTES = 0x1032;
inline constexpr TW_UINT16 CAP_BATTERYPERCENTAGE = 0x1033;
inline constexpr TW_UINT16 CAP_CAMERASIDE = 0x1034;
inline constexpr TW_UINT16 CAP_SEGMENTED = 0x1035;
inline constexpr TW_UINT16 CAP_CAMERAENABLED = 0x1036;
inline constexpr TW_UINT16 CAP_CAMERAORDER = 0x1037;
inline constexpr TW_UINT16 CAP_MICRENABLED = 0x1038;
inline constexpr TW_UINT16 CAP_FEEDERPREP = 0x1039;
inline constexpr TW_UINT16 CAP_FEEDERPOCKET = 0x103A;
inline constexpr TW_UINT16 CAP_AUTOMATICSENSEMEDIUM = 0x103B;
inline constexpr TW_UINT16 CAP_CUSTOMINTERFACEGUID = 0x103C;
inline constexpr TW_UINT16 CAP_SUPPORTEDCAPSSEGMENTUNIQUE = 0x103D;
inline constexpr TW_UINT16 CAP_SUPPORTEDDATS = 0x103E;
inline constexpr TW_UINT16 CAP_DOUBLEFEEDDETECTION = 0x103F;
inline constexpr TW_UINT16 CAP_DOUBLEFEEDDETECTIONLENGTH = 0x1040;
inline constexpr TW_UINT16 CAP_DOUBLEFEEDDETECTIONSENSITIVITY = 0x1041;
inline constexpr TW_UINT16 CAP_DOUBLEFEEDDETECTIONRESPONSE = 0x1042;
inline constexpr TW_UINT16 CAP_PAPERHANDLING = 0x1043;
inline constexpr TW_UINT16 CAP_INDICATORSMODE = 0x1044;
inline constexpr TW_UINT16 CAP_PRINTERVERTICALOFFSET = 0x1045;
inline constexpr TW_UINT16 CAP_POWERSAVETIME = 0x1046;
inline constexpr TW_UINT16 CAP_PRINTERCHARROTATION = 0x1047;
inline constexpr TW_UINT16 CAP_PRINTERFONTSTYLE = 0x1048;
inline constexpr TW_UINT16 CAP_PRINTERINDEXLEADCHAR = 0x1049;
inline constexpr TW_UINT16 CAP_PRINTERINDEXMAXVALUE = 0x104A;
inline constexpr TW_UINT16 CAP_PRINTERINDEXNUMDIGITS = 0x104B;
inline constexpr TW_UINT16 CAP_PRINTERINDEXSTEP = 0x104C;
inline constexpr TW_UINT16 CAP_PRINTERINDEXTRIGGER = 0x104D;
inline constexpr TW_UINT16 CAP_PRINTERSTRINGPREVIEW = 0x104E;
inline constexpr TW_UINT16 CAP_SHEETCOUNT = 0x104F;
inline constexpr TW_UINT16 CAP_IMAGEADDRESSENABLED = 0x1050;
inline constexpr TW_UINT16 CAP_IAFIELDA_LEVEL = 0x1051;
inline constexpr TW_UINT16 CAP_IAFIELDB_LEVEL = 0x1052;
inline constexpr TW_UINT16 CAP_IAFIELDC_LEVEL = 0x1053;
inline constexpr TW_UINT16 CAP_IAFIELDD_LEVEL = 0x1054;
inline constexpr TW_UINT16 CAP_IAFIELDE_LEVEL = 0x1055;
inline constexpr TW_UINT16 CAP_IAFIELDA_PRINTFORMAT = 0x1056;
inline constexpr TW_UINT16 CAP_IAFIELDB_PRINTFORMAT = 0x1057;
inline constexpr TW_UINT16 CAP_IAFIELDC_PRINTFORMAT = 0x1058;
inline constexpr TW_UINT16 CAP_IAFIELDD_PRINTFORMAT = 0x1059;
inline constexpr TW_UINT16 CAP_IAFIELDE_PRINTFORMAT = 0x105A;
inline constexpr TW_UINT16 CAP_IAFIELDA_VALUE = 0x105B;
inline constexpr TW_UINT16 CAP_IAFIELDB_VALUE = 0x105C;
inline constexpr TW_UINT16 CAP_IAFIELDC_VALUE = 0x105D;
inline constexpr TW_UINT16 CAP_IAFIELDD_VALUE = 0x105E;
inline constexpr TW_UINT16 CAP_IAFIELDE_VALUE = 0x105F;
inline constexpr TW_UINT16 CAP_IAFIELDA_LASTPAGE = 0x1060;
inline constexpr TW_UINT16 CAP_IAFIELDB_LASTPAGE = 0x1061;
inline constexpr TW_UINT16 CAP_IAFIELDC_LASTPAGE = 0x1062;
inline constexpr TW_UINT16 CAP_IAFIELDD_LASTPAGE = 0x1063;
inline constexpr TW_UINT16 CAP_IAFIELDE_LASTPAGE = 0x1064;
inline constexpr TW_UINT16 CAP_CLEARBUFFERS = 0x101D;
inline constexpr TW_UINT16 CAP_SUPPORTEDCAPSEXT = 0x100C;
inline constexpr TW_UINT16 CAP_PAGEMULTIPLEACQUIRE = 0x1023;  // deprecated
inline constexpr TW_UINT16 CAP_PAPERBINDING = 0x102F;  // deprecated
inline constexpr TW_UINT16 CAP_PASSTHRU = 0x1031;  // deprecated
inline constexpr TW_UINT16 CAP_POWERDOWNTIME = 0x1034;  // deprecated

// Image capabilities (ICAP_)
inline constexpr TW_UINT16 ICAP_COMPRESSION = 0x0100;
inline constexpr TW_UINT16 ICAP_PIXELTYPE = 0x0101;
inline constexpr TW_UINT16 ICAP_UNITS = 0x0102;
inline constexpr TW_UINT16 ICAP_XFERMECH = 0x0103;
inline constexpr TW_UINT16 ICAP_AUTOBRIGHT = 0x1100;
inline constexpr TW_UINT16 ICAP_BRIGHTNESS = 0x1101;
inline constexpr TW_UINT16 ICAP_CONTRAST = 0x1103;
inline constexpr TW_UINT16 ICAP_CUSTHALFTONE = 0x1104;
inline constexpr TW_UINT16 ICAP_EXPOSURETIME = 0x1105;
inline constexpr TW_UINT16 ICAP_FILTER = 0x1106;
inline constexpr TW_UINT16 ICAP_FLASHUSED = 0x1107;
inline constexpr TW_UINT16 ICAP_GAMMA = 0x1108;
inline constexpr TW_UINT16 ICAP_HALFTONES = 0x1109;
inline constexpr TW_UINT16 ICAP_HIGHLIGHT = 0x110A;
inline constexpr TW_UINT16 ICAP_IMAGEFILEFORMAT = 0x110C;
inline constexpr TW_UINT16 ICAP_LAMPSTATE = 0x110D;
inline constexpr TW_UINT16 ICAP_LIGHTSOURCE = 0x110E;
inline constexpr TW_UINT16 ICAP_ORIENTATION = 0x1110;
inline constexpr TW_UINT16 ICAP_PHYSICALWIDTH = 0x1111;
inline constexpr TW_UINT16 ICAP_PHYSICALHEIGHT = 0x1112;
inline constexpr TW_UINT16 ICAP_SHADOW = 0x1113;
inline constexpr TW_UINT16 ICAP_FRAMES = 0x1114;
inline constexpr TW_UINT16 ICAP_XNATIVERESOLUTION = 0x1116;
inline constexpr TW_UINT16 ICAP_YNATIVERESOLUTION = 0x1117;
inline constexpr TW_UINT16 ICAP_XRESOLUTION = 0x1118;
inline constexpr TW_UINT16 ICAP_YRESOLUTION = 0x1119;
inline constexpr TW_UINT16 ICAP_MAXFRAMES = 0x111A;
inline constexpr TW_UINT16 ICAP_TILES = 0x111B;
inline constexpr TW_UINT16 ICAP_BITORDER = 0x111C;
inline constexpr TW_UINT16 ICAP_CCITTKFACTOR = 0x111D;
inline constexpr TW_UINT16 ICAP_LIGHTPATH = 0x111E;
inline constexpr TW_UINT16 ICAP_PIXELFLAVOR = 0x111F;
inline constexpr TW_UINT16 ICAP_PLANARCHUNKY = 0x1120;
inline constexpr TW_UINT16 ICAP_ROTATION = 0x1121;
inline constexpr TW_UINT16 ICAP_SUPPORTEDSIZES = 0x1122;
inline constexpr TW_UINT16 ICAP_THRESHOLD = 0x1123;
inline constexpr TW_UINT16 ICAP_XSCALING = 0x1124;
inline constexpr TW_UINT16 ICAP_YSCALING = 0x1125;
inline constexpr TW_UINT16 ICAP_BITORDERCODES = 0x1126;
inline constexpr TW_UINT16 ICAP_PIXELFLAVORCODES = 0x1127;
inline constexpr TW_UINT16 ICAP_JPEGPIXELTYPE = 0x1128;
inline constexpr TW_UINT16 ICAP_TIMEFILL = 0x112A;
inline constexpr TW_UINT16 ICAP_BITDEPTH = 0x112B;
inline constexpr TW_UINT16 ICAP_BITDEPTHREDUCTION = 0x112C;
inline constexpr TW_UINT16 ICAP_UNDEFINEDIMAGESIZE = 0x112D;
inline constexpr TW_UINT16 ICAP_IMAGEDATASET = 0x112E;
inline constexpr TW_UINT16 ICAP_EXTIMAGEINFO = 0x112F;
inline constexpr TW_UINT16 ICAP_MINIMUMHEIGHT = 0x1130;
inline constexpr TW_UINT16 ICAP_MINIMUMWIDTH = 0x1131;
inline constexpr TW_UINT16 ICAP_AUTODISCARDBLANKPAGES = 0x1134;
inline constexpr TW_UINT16 ICAP_FLIPROTATION = 0x1136;
inline constexpr TW_UINT16 ICAP_BARCODEDETECTIONENABLED = 0x1137;
inline constexpr TW_UINT16 ICAP_SUPPORTEDBARCODETYPES = 0x1138;
inline constexpr TW_UINT16 ICAP_BARCODEMAXSEARCHPRIORITIES = 0x1139;
inline constexpr TW_UINT16 ICAP_BARCODESEARCHPRIORITIES = 0x113A;
inline constexpr TW_UINT16 ICAP_BARCODESEARCHMODE = 0x113B;
inline constexpr TW_UINT16 ICAP_BARCODEMAXRETRIES = 0x113C;
inline constexpr TW_UINT16 ICAP_BARCODETIMEOUT = 0x113D;
inline constexpr TW_UINT16 ICAP_ZOOMFACTOR = 0x113E;
inline constexpr TW_UINT16 ICAP_PATCHCODEDETECTIONENABLED = 0x113F;
inline constexpr TW_UINT16 ICAP_SUPPORTEDPATCHCODETYPES = 0x1140;
inline constexpr TW_UINT16 ICAP_PATCHCODEMAXSEARCHPRIORITIES = 0x1141;
inline constexpr TW_UINT16 ICAP_PATCHCODESEARCHPRIORITIES = 0x1142;
inline constexpr TW_UINT16 ICAP_PATCHCODESEARCHMODE = 0x1143;
inline constexpr TW_UINT16 ICAP_PATCHCODEMAXRETRIES = 0x1144;
inline constexpr TW_UINT16 ICAP_PATCHCODETIMEOUT = 0x1145;
inline constexpr TW_UINT16 ICAP_FLASHUSED2 = 0x1146;
inline constexpr TW_UINT16 ICAP_IMAGEFILTER = 0x1147;
inline constexpr TW_UINT16 ICAP_NOISEFILTER = 0x1148;
inline constexpr TW_UINT16 ICAP_OVERSCAN = 0x1149;
inline constexpr TW_UINT16 ICAP_AUTOMATICBORDERDETECTION = 0x1150;
inline constexpr TW_UINT16 ICAP_AUTOMATICDESKEW = 0x1151;
inline constexpr TW_UINT16 ICAP_AUTOMATICROTATE = 0x1152;
inline constexpr TW_UINT16 ICAP_JPEGQUALITY = 0x1153;
inline constexpr TW_UINT16 ICAP_FEEDERTYPE = 0x1154;
inline constexpr TW_UINT16 ICAP_ICCPROFILE = 0x1155;
inline constexpr TW_UINT16 ICAP_AUTOSIZE = 0x1156;
inline constexpr TW_UINT16 ICAP_AUTOMATICCROPUSESFRAME = 0x1157;
inline constexpr TW_UINT16 ICAP_AUTOMATICLENGTHDETECTION = 0x1158;
inline constexpr TW_UINT16 ICAP_AUTOMATICCOLORENABLED = 0x1159;
inline constexpr TW_UINT16 ICAP_AUTOMATICCOLORNONCOLORPIXELTYPE = 0x115A;
inline constexpr TW_UINT16 ICAP_COLORMANAGEMENTENABLED = 0x115B;
inline constexpr TW_UINT16 ICAP_IMAGEMERGE = 0x115C;
inline constexpr TW_UINT16 ICAP_IMAGEMERGEHEIGHTTHRESHOLD = 0x115D;
inline constexpr TW_UINT16 ICAP_SUPPORTEDEXTIMAGEINFO = 0x115E;
inline constexpr TW_UINT16 ICAP_FILMTYPE = 0x115F;
inline constexpr TW_UINT16 ICAP_MIRROR = 0x1160;
inline constexpr TW_UINT16 ICAP_JPEGSUBSAMPLING = 0x1161;

// Audio capabilities (ACAP_)
inline constexpr TW_UINT16 ACAP_XFERMECH = 0x1202;
inline constexpr TW_UINT16 ACAP_AUDIOFILEFORMAT = 0x1201;

// Query-support bits (TWQC_), returned by MSG_QUERYSUPPORT
inline constexpr TW_INT32 TWQC_GET = 0x0001;
inline constexpr TW_INT32 TWQC_SET = 0x0002;
inline constexpr TW_INT32 TWQC_GETDEFAULT = 0x0004;
inline constexpr TW_INT32 TWQC_GETCURRENT = 0x0008;
inline constexpr TW_INT32 TWQC_RESET = 0x0010;
inline constexpr TW_INT32 TWQC_SETCONSTRAINT = 0x0020;
inline constexpr TW_INT32 TWQC_GETHELP = 0x0100;
inline constexpr TW_INT32 TWQC_GETLABEL = 0x0200;
inline constexpr TW_INT32 TWQC_GETLABELENUM = 0x0400;
inline constexpr TW_INT32 TWQC_CONSTRAINABLE = 0x0040;  // deprecated

// ICAP_PIXELTYPE values (TWPT_)
inline constexpr TW_UINT16 TWPT_BW = 0x0000;
inline constexpr TW_UINT16 TWPT_GRAY = 0x0001;
inline constexpr TW_UINT16 TWPT_RGB = 0x0002;
inline constexpr TW_UINT16 TWPT_PALETTE = 0x0003;
inline constexpr TW_UINT16 TWPT_CMY = 0x0004;
inline constexpr TW_UINT16 TWPT_CMYK = 0x0005;
inline constexpr TW_UINT16 TWPT_YUV = 0x0006;
inline constexpr TW_UINT16 TWPT_YUVK = 0x0007;
inline constexpr TW_UINT16 TWPT_CIEXYZ = 0x0008;
inline constexpr TW_UINT16 TWPT_LAB = 0x0009;
inline constexpr TW_UINT16 TWPT_SRGB = 0x000A;
inline constexpr TW_UINT16 TWPT_SCRGB = 0x000B;
inline constexpr TW_UINT16 TWPT_INFRARED = 0x0010;
inline constexpr TW_UINT16 TWPT_SRGB64 = 0x000B;  // deprecated
inline constexpr TW_UINT16 TWPT_BGR = 0x000C;  // deprecated
inline constexpr TW_UINT16 TWPT_CIELAB = 0x000D;  // deprecated
inline constexpr TW_UINT16 TWPT_CIELUV = 0x000E;  // deprecated
inline constexpr TW_UINT16 TWPT_YCBCR = 0x000F;  // deprecated

// ICAP_XFERMECH values (TWSX_)
inline constexpr TW_UINT16 TWSX_NATIVE = 0x0000;
inline constexpr TW_UINT16 TWSX_FILE = 0x0001;
inline constexpr TW_UINT16 TWSX_MEMORY = 0x0002;
inline constexpr TW_UINT16 TWSX_MEMFILE = 0x0004;
inline constexpr TW_UINT16 TWSX_FILE2 = 0x0003;

// ICAP_UNITS values (TWUN_)
inline constexpr TW_UINT16 TWUN_INCHES = 0x0000;
inline constexpr TW_UINT16 TWUN_CENTIMETERS = 0x0001;
inline constexpr TW_UINT16 TWUN_PICAS = 0x0002;
inline constexpr TW_UINT16 TWUN_POINTS = 0x0003;
inline constexpr TW_UINT16 TWUN_TWIPS = 0x0004;
inline constexpr TW_UINT16 TWUN_PIXELS = 0x0005;
inline constexpr TW_UINT16 TWUN_MILLIMETERS = 0x0006;

// ICAP_COMPRESSION values (TWCP_)
inline constexpr TW_UINT16 TWCP_NONE = 0x0000;
inline constexpr TW_UINT16 TWCP_PACKBITS = 0x0001;
inline constexpr TW_UINT16 TWCP_GROUP31D = 0x0002;
inline constexpr TW_UINT16 TWCP_GROUP31DEOL = 0x0003;
inline constexpr TW_UINT16 TWCP_GROUP32D = 0x0004;
inline constexpr TW_UINT16 TWCP_GROUP4 = 0x0005;
inline constexpr TW_UINT16 TWCP_JPEG = 0x0006;
inline constexpr TW_UINT16 TWCP_LZW = 0x0007;
inline constexpr TW_UINT16 TWCP_JBIG = 0x0008;
inline constexpr TW_UINT16 TWCP_PNG = 0x0009;
inline constexpr TW_UINT16 TWCP_RLE4 = 0x000A;
inline constexpr TW_UINT16 TWCP_RLE8 = 0x000B;
inline constexpr TW_UINT16 TWCP_BITFIELDS = 0x000C;
inline constexpr TW_UINT16 TWCP_ZIP = 0x000D;
inline constexpr TW_UINT16 TWCP_JPEG2000 = 0x000E;

// TWPF_: two unrelated value sets share this prefix
inline constexpr TW_UINT16 TWPF_CHOCOLATE = 0x0000;
inline constexpr TW_UINT16 TWPF_VANILLA = 0x0001;
inline constexpr TW_UINT16 TWPF_NORMAL = 0x0000;
inline constexpr TW_UINT16 TWPF_BOLD = 0x0001;
inline constexpr TW_UINT16 TWPF_ITALIC = 0x0002;
inline constexpr TW_UINT16 TWPF_LARGESIZE = 0x0003;
inline constexpr TW_UINT16 TWPF_SMALLSIZE = 0x0004;

// TW_PALETTE8.PaletteType values (TWPA_)
inline constexpr TW_UINT16 TWPA_RGB = 0x0000;
inline constexpr TW_UINT16 TWPA_GRAY = 0x0001;
inline constexpr TW_UINT16 TWPA_CMY = 0x0002;

// ICAP_BITORDER (TWBO_), ICAP_PLANARCHUNKY (TWPC_), CAP_DUPLEX (TWDX_)
inline constexpr TW_UINT16 TWBO_LSBFIRST = 0x0000;
inline constexpr TW_UINT16 TWBO_MSBFIRST = 0x0001;
inline constexpr TW_UINT16 TWPC_CHUNKY = 0x0000;
inline constexpr TW_UINT16 TWPC_PLANAR = 0x0001;
inline constexpr TW_UINT16 TWDX_NONE = 0x0000;
inline constexpr TW_UINT16 TWDX_1PASSDUPLEX = 0x0001;
inline constexpr TW_UINT16 TWDX_2PASSDUPLEX = 0x0002;

// ICAP_SUPPORTEDSIZES values (TWSS_)
inline constexpr TW_UINT16 TWSS_NONE = 0x0000;
inline constexpr TW_UINT16 TWSS_A4 = 0x0001;
inline constexpr TW_UINT16 TWSS_JISB5 = 0x0002;
inline constexpr TW_UINT16 TWSS_USLETTER = 0x0003;
inline constexpr TW_UINT16 TWSS_USLEGAL = 0x0004;
inline constexpr TW_UINT16 TWSS_A5 = 0x0005;
inline constexpr TW_UINT16 TWSS_ISOB4 = 0x0006;
inline constexpr TW_UINT16 TWSS_ISOB6 = 0x0007;
inline constexpr TW_UINT16 TWSS_USLEDGER = 0x0009;
inline constexpr TW_UINT16 TWSS_USEXECUTIVE = 0x000A;
inline constexpr TW_UINT16 TWSS_A3 = 0x000B;
inline constexpr TW_UINT16 TWSS_ISOB3 = 0x000C;
inline constexpr TW_UINT16 TWSS_A6 = 0x000D;
inline constexpr TW_UINT16 TWSS_C4 = 0x000E;
inline constexpr TW_UINT16 TWSS_C5 = 0x000F;
inline constexpr TW_UINT16 TWSS_C6 = 0x0010;
inline constexpr TW_UINT16 TWSS_4A0 = 0x0011;
inline constexpr TW_UINT16 TWSS_2A0 = 0x0012;
inline constexpr TW_UINT16 TWSS_A0 = 0x0013;
inline constexpr TW_UINT16 TWSS_A1 = 0x0014;
inline constexpr TW_UINT16 TWSS_A2 = 0x0015;
inline constexpr TW_UINT16 TWSS_A7 = 0x0016;
inline constexpr TW_UINT16 TWSS_A8 = 0x0017;
inline constexpr TW_UINT16 TWSS_A9 = 0x0018;
inline constexpr TW_UINT16 TWSS_A10 = 0x0019;
inline constexpr TW_UINT16 TWSS_ISOB0 = 0x001A;
inline constexpr TW_UINT16 TWSS_ISOB1 = 0x001B;
inline constexpr TW_UINT16 TWSS_ISOB2 = 0x001C;
inline constexpr TW_UINT16 TWSS_ISOB5 = 0x001D;
inline constexpr TW_UINT16 TWSS_ISOB7 = 0x001E;
inline constexpr TW_UINT16 TWSS_ISOB8 = 0x001F;
inline constexpr TW_UINT16 TWSS_ISOB9 = 0x0020;
inline constexpr TW_UINT16 TWSS_ISOB10 = 0x0021;
inline constexpr TW_UINT16 TWSS_JISB0 = 0x0022;
inline constexpr TW_UINT16 TWSS_JISB1 = 0x0023;
inline constexpr TW_UINT16 TWSS_JISB2 = 0x0024;
inline constexpr TW_UINT16 TWSS_JISB3 = 0x0025;
inline constexpr TW_UINT16 TWSS_JISB4 = 0x0026;
inline constexpr TW_UINT16 TWSS_JISB6 = 0x0027;
inline constexpr TW_UINT16 TWSS_JISB7 = 0x0028;
inline constexpr TW_UINT16 TWSS_JISB8 = 0x0029;
inline constexpr TW_UINT16 TWSS_JISB9 = 0x002A;
inline constexpr TW_UINT16 TWSS_JISB10 = 0x002B;
inline constexpr TW_UINT16 TWSS_C0 = 0x002C;
inline constexpr TW_UINT16 TWSS_C1 = 0x002D;
inline constexpr TW_UINT16 TWSS_C2 = 0x002E;
inline constexpr TW_UINT16 TWSS_C3 = 0x002F;
inline constexpr TW_UINT16 TWSS_C7 = 0x0030;
inline constexpr TW_UINT16 TWSS_C8 = 0x0031;
inline constexpr TW_UINT16 TWSS_C9 = 0x0032;
inline constexpr TW_UINT16 TWSS_C10 = 0x0033;
inline constexpr TW_UINT16 TWSS_USSTATEMENT = 0x0034;
inline constexpr TW_UINT16 TWSS_BUSINESSCARD = 0x0035;
inline constexpr TW_UINT16 TWSS_MAXSIZE = 0x0036;
inline constexpr TW_UINT16 TWSS_B = 0x0008;  // deprecated
inline constexpr TW_UINT16 TWSS_A4LETTER = 0x0001;
inline constexpr TW_UINT16 TWSS_B3 = 0x000C;
inline constexpr TW_UINT16 TWSS_B4 = 0x0006;
inline constexpr TW_UINT16 TWSS_B6 = 0x0007;
inline constexpr TW_UINT16 TWSS_B5LETTER = 0x0002;

// ICAP_ORIENTATION (TWOR_) and ICAP_IMAGEFILEFORMAT (TWFF_)
inline constexpr TW_UINT16 TWOR_ROT0 = 0x0000;
inline constexpr TW_UINT16 TWOR_ROT90 = 0x0001;
inline constexpr TW_UINT16 TWOR_ROT180 = 0x0002;
inline constexpr TW_UINT16 TWOR_ROT270 = 0x0003;
inline constexpr TW_UINT16 TWOR_PORTRAIT = 0x0000;
inline constexpr TW_UINT16 TWOR_LANDSCAPE = 0x0003;
inline constexpr TW_UINT16 TWOR_AUTO = 0x0004;
inline constexpr TW_UINT16 TWOR_AUTOTEXT = 0x0005;
inline constexpr TW_UINT16 TWOR_AUTOPICTURE = 0x0006;
inline constexpr TW_UINT16 TWFF_TIFF = 0x0000;
inline constexpr TW_UINT16 TWFF_PICT = 0x0001;
inline constexpr TW_UINT16 TWFF_BMP = 0x0002;
inline constexpr TW_UINT16 TWFF_XBM = 0x0003;
inline constexpr TW_UINT16 TWFF_JFIF = 0x0004;
inline constexpr TW_UINT16 TWFF_FPX = 0x0005;
inline constexpr TW_UINT16 TWFF_TIFFMULTI = 0x0006;
inline constexpr TW_UINT16 TWFF_PNG = 0x0007;
inline constexpr TW_UINT16 TWFF_SPIFF = 0x0008;
inline constexpr TW_UINT16 TWFF_EXIF = 0x0009;
inline constexpr TW_UINT16 TWFF_PDF = 0x000A;
inline constexpr TW_UINT16 TWFF_JP2 = 0x000B;
inline constexpr TW_UINT16 TWFF_JPX = 0x000D;
inline constexpr TW_UINT16 TWFF_DEJAVU = 0x000E;
inline constexpr TW_UINT16 TWFF_PDFA = 0x000F;
inline constexpr TW_UINT16 TWFF_PDFA2 = 0x0010;
inline constexpr TW_UINT16 TWFF_PDFRASTER = 0x0011;
inline constexpr TW_UINT16 TWFF_JPN = 0x000C;  // deprecated

// TW_MEMORY flags (TWMF_)
inline constexpr TW_UINT32 TWMF_APPOWNS = 0x0001;
inline constexpr TW_UINT32 TWMF_DSMOWNS = 0x0002;
inline constexpr TW_UINT32 TWMF_DSOWNS = 0x0004;
inline constexpr TW_UINT32 TWMF_POINTER = 0x0008;
inline constexpr TW_UINT32 TWMF_HANDLE = 0x0010;

// Language and country used in TW_VERSION
inline constexpr TW_UINT16 TWLG_USERLOCALE = 0xFFFF;  // -1 as stored in TW_VERSION.Language
inline constexpr TW_UINT16 TWLG_ENG = 0x0002;
inline constexpr TW_UINT16 TWLG_USA = 0x000D;
inline constexpr TW_UINT16 TWLG_ENGLISH = 0x0002;
inline constexpr TW_UINT16 TWLG_ENGLISH_USA = 0x000D;
inline constexpr TW_UINT16 TWCY_USA = 0x0001;
// Decimal values: older headers wrote these two with a leading zero and got octal.
inline constexpr TW_UINT16 TWCY_CUBA = 5;
inline constexpr TW_UINT16 TWCY_ANDORRA = 33;


// ---------------------------------------------------------------------------
// TW_FIX32 conversions
// ---------------------------------------------------------------------------
inline constexpr double Fix32ToFloat(TW_FIX32 value) {
  return static_cast<double>(value.Whole) + static_cast<double>(value.Frac) / 65536.0;
}

// Rounds half away from zero: adding 0.5 to a negative product would land one
// 1/65536 step too high (-1.5 would come out as Whole -2, Frac 0x8001).
// Values outside the representable range [-32768, 32768) saturate.
inline constexpr TW_FIX32 FloatToFix32(double value) {
  constexpr double kLowest = -2147483648.0;  // -32768 * 65536
  constexpr double kHighest = 2147483647.0;  // one step below 32768
  double scaled = value * 65536.0;
  scaled += scaled < 0 ? -0.5 : 0.5;
  if (!(scaled >= kLowest)) scaled = value != value ? 0.0 : kLowest;  // NaN becomes 0
  if (scaled > kHighest) scaled = kHighest;
  const TW_INT32 raw = static_cast<TW_INT32>(scaled);
  TW_FIX32 result{};
  result.Whole = static_cast<TW_INT16>(raw >> 16);
  result.Frac = static_cast<TW_UINT16>(raw & 0xFFFF);
  return result;
}
