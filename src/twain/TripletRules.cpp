#include "twain/TripletRules.h"

#include <iterator>

namespace {

namespace text = failure_text;

constexpr StateSet kAny = StateSet::Any();
constexpr StateSet kOpen = StateSet::Of({4, 5, 6, 7});
constexpr StateSet kBeforeTransfer = StateSet::Of({4, 5, 6});

constexpr TripletRule kRules[] = {
    // dg, dat, msg, states, usesData, usesOrigin, failure text
    {DG_CONTROL, DAT_IDENTITY, MSG_GET, kAny, true, false, text::kIdentity},
    {DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, StateSet::Of({3}), true, true, text::kOpenDs},
    {DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, StateSet::Of({4}), false, false, text::kCloseDs},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, StateSet::Of({4}), true, false, text::kEnableDs},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, StateSet::Of({5}), false, false, text::kDisableDs},
    {DG_CONTROL, DAT_STATUS, MSG_GET, kAny, true, false, text::kStatus},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GET, kAny, true, false, text::kCapability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, kAny, true, false, text::kCapability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETDEFAULT, kAny, true, false, text::kCapability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_SET, kAny, true, false, text::kCapability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_RESET, kAny, true, false, text::kCapability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT, kAny, true, false, text::kCapability},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, kOpen, true, false, text::kPendingXfers},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, StateSet::Of({6, 7}), true, false, text::kPendingXfers},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, StateSet::Of({5, 6}), true, false, text::kPendingXfers},
    {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, kBeforeTransfer, true, false, text::kSetupMemXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, kBeforeTransfer, true, false, text::kSetupFileXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT, kBeforeTransfer, true, false, text::kSetupFileXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, kBeforeTransfer, true, false, text::kSetupFileXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, kBeforeTransfer, true, false, text::kSetupFileXfer},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, StateSet::Of({6}), true, false, text::kNativeXfer},
    {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, StateSet::Of({6, 7}), true, false, text::kMemXfer},
    // The file name comes from the settings, so the data is not used.
    {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, StateSet::Of({6}), false, false, text::kFileXfer},
    {DG_IMAGE, DAT_IMAGEINFO, MSG_GET, StateSet::Of({6, 7}), true, false, text::kTransfer},
    {DG_IMAGE, DAT_PALETTE8, MSG_GET, kOpen, true, false, text::kPalette8},
};

}  // namespace

const TripletRule* FindTripletRule(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
  for (const TripletRule& rule : kRules) {
    if (rule.dg == dg && rule.dat == dat && rule.msg == msg) return &rule;
  }
  return nullptr;
}
