#pragma once

#include <initializer_list>

#include "twain/twain.h"

// Session states as the driver keeps them: 100 times the TWAIN state number.
inline constexpr int kState3 = 300;  // source loaded, not open
inline constexpr int kState4 = 400;  // open, capabilities negotiable
inline constexpr int kState5 = 500;  // enabled
inline constexpr int kState6 = 600;  // transfer ready
inline constexpr int kState7 = 700;  // transferring

// A set of TWAIN states 3 to 7.
class StateSet {
 public:
  static constexpr StateSet Of(std::initializer_list<int> stateNumbers) {
    unsigned bits = 0;
    for (int number : stateNumbers) bits |= 1u << number;
    return StateSet(bits);
  }
  static constexpr StateSet Any() { return Of({3, 4, 5, 6, 7}); }
  // `sessionState` is the driver's value (300 to 700).
  constexpr bool Contains(int sessionState) const {
    return sessionState % 100 == 0 && sessionState >= kState3 && sessionState <= kState7 &&
           (bits_ & (1u << (sessionState / 100))) != 0;
  }

 private:
  constexpr explicit StateSet(unsigned bits) : bits_(bits) {}
  unsigned bits_;
};

// The first part of the log line of a failed operation; the condition's text
// follows directly, which is why most end in two blanks.
namespace failure_text {
inline constexpr const char* kIdentity = "General failure in response to DAT_IDENTITY.  ";
inline constexpr const char* kOpenDs = "General failure in response to MSG_OPENDS.  ";
inline constexpr const char* kCloseDs = "General failure in response to MSG_CLOSEDS.  ";
inline constexpr const char* kEnableDs = "General failure in response to MSG_ENABLEDS.  ";
inline constexpr const char* kDisableDs = "General failure in response to MSG_DISABLEDS.  ";
inline constexpr const char* kUserInterface = "General failure in response to DAT_USERINTERFACE.  ";
inline constexpr const char* kStatus = "General failure in response to DAT_STATUS.  ";
inline constexpr const char* kCapability = "General failure in response to DAT_CAPS.  ";
inline constexpr const char* kPendingXfers = "General failure in response to DAT_PENDINGXFER.  ";
inline constexpr const char* kSetupMemXfer = "General failure in response to DAT_SETUPMEMXFER, not supported.  ";
inline constexpr const char* kSetupFileXfer = "General failure in response to DAT_SETUPFILEXFER, not supported.  ";
inline constexpr const char* kNativeXfer = "General failure in response to DAT_IMAGENATIVEXFER.  ";
inline constexpr const char* kMemXfer = "General failure in response to DAT_IMAGEMEMXFER.  ";
inline constexpr const char* kFileXfer = "General failure in response to DAT_IMAGEFILEXFER.  ";
inline constexpr const char* kTransfer = "General failure in transfer.  ";  // DAT_IMAGEINFO; DAT_PALETTE8 in a wrong state
inline constexpr const char* kPalette8 = "General failure in response to DAT_PALETTE8.  ";
}  // namespace failure_text

// What the source accepts of one supported triplet.
struct TripletRule {
  TW_UINT32 dg;
  TW_UINT16 dat;
  TW_UINT16 msg;
  StateSet states;          // every other state fails with TWCC_SEQERROR
  bool usesData;            // the handler reads or writes the data
  bool usesOrigin;          // the handler reads the origin identity
  const char* failureText;  // for failures after the message and state checks
};

// The rule of a supported triplet, nullptr when the source does not support it.
const TripletRule* FindTripletRule(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);

