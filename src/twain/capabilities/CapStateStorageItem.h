#pragma once

#include <cstddef>
#include <span>

#include "logging/Logger.h"
#include "twain/capabilities/CapabilityInfo.h"
#include "twain/capabilities/CapabilityValueList.h"
#include "twain/twain.h"

// One capability as an application negotiates it: a fixed supported list, a default and a
// current value, answered and changed through TWAIN containers.
//
// The three value lists point into storage that outlives this object (the process-wide value
// storage of the catalogue), so a value an application sets stays current across sessions. Set
// and Reset write the current list in place. Every operation runs on the thread that holds the
// session; nothing here locks.
class CapStateStorageItem {
 public:
  CapStateStorageItem(const CapabilityInfo& info, CapabilityValueList supported, CapabilityValueList defaults,
                      CapabilityValueList current);
  CapStateStorageItem(const CapStateStorageItem&) = delete;
  CapStateStorageItem& operator=(const CapStateStorageItem&) = delete;

  // Each answers TWRC_SUCCESS or TWRC_FAILURE and leaves the condition in `condition`. A
  // container built for the answer is stored in `capability` (ConType, hContainer) and belongs to
  // the application from then on. A failure changes neither the stored values nor `capability`.
  TW_UINT16 QuerySupport(TW_CAPABILITY& capability, TW_UINT16& condition) const;
  TW_UINT16 Get(TW_CAPABILITY& capability, TW_UINT16& condition) const;
  TW_UINT16 GetCurrent(TW_CAPABILITY& capability, TW_UINT16& condition) const;
  TW_UINT16 GetDefault(TW_CAPABILITY& capability, TW_UINT16& condition) const;
  // Takes one value from a TW_ONEVALUE of the capability's item type; the value is not checked
  // against the supported list. A TW_ENUMERATION is accepted and ignored.
  TW_UINT16 Set(TW_CAPABILITY& capability, TW_UINT16& condition);
  TW_UINT16 Reset(TW_CAPABILITY& capability, TW_UINT16& condition);

  // True when the TWQC_ bit is in the capability's supported-messages mask.
  bool IsSupported(TW_UINT32 messageBit) const;

  const CapabilityInfo& Info() const { return info_; }

  // The first current item in stored form (one stored item's bytes, FIX32 as float); empty when
  // the capability holds no current value.
  std::span<const std::byte> FirstCurrentItem() const;

 private:
  enum class AnswerList { kSupported, kCurrent, kDefault };

  std::size_t ItemSize() const;
  std::span<const std::byte> Items(const CapabilityValueList& list) const;
  TW_UINT16 Answer(TW_UINT16 containerKind, AnswerList list, TW_CAPABILITY& capability, TW_UINT16& condition) const;
  TW_HANDLE BuildContainer(TW_UINT16 containerKind, AnswerList list) const;
  TW_HANDLE BuildEnumeration(std::span<const std::byte> items) const;

  CapabilityInfo info_;
  CapabilityValueList supported_;
  CapabilityValueList defaults_;
  CapabilityValueList current_;
  Logger logger_{"Capabilities", "CapStateStorageItem"};
};
