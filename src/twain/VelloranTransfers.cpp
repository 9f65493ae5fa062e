// The image description answers and the three transfer mechanisms. Until the scan hands over
// its current image, no page exists and the image operations answer a sequence error.
#include "settings/SettingsStore.h"
#include "twain/Velloran.h"
#include "twain/transfers/FileTransferName.h"

namespace {

constexpr TW_UINT32 kMinBufSize = 0x4000;
constexpr TW_UINT32 kMaxBufSize = 0xFFFF;

constexpr const char* kBadFileFormat = "Bad file format";
constexpr const char* kUnableToCreateFile = "Unable to create file";

// The set-up and transfer triplets check the state first, then the message. TWCC_SUCCESS when
// both pass; otherwise the condition, with the triplet's failure text in `text`.
TW_UINT16 CheckTransferTriplet(int state, const TwainTriplet& triplet, const char*& text) {
  // Every set-up and transfer DAT accepts MSG_GET, in the states of all its messages.
  const TripletRule* rule = FindTripletRule(triplet.dg, triplet.dat, MSG_GET);
  text = rule->failureText;
  if (!rule->states.Contains(state)) return TWCC_SEQERROR;
  if (FindTripletRule(triplet.dg, triplet.dat, triplet.msg) == nullptr) return TWCC_BADPROTOCOL;
  return TWCC_SUCCESS;
}

}  // namespace

TW_UINT16 Velloran::GetImageInfo(TW_IMAGEINFO&) { return Fail(failure_text::kTransfer, TWCC_SEQERROR); }

TW_UINT16 Velloran::GetPalette8(TW_PALETTE8&) { return Fail(failure_text::kTransfer, TWCC_SEQERROR); }

TW_UINT16 Velloran::NativeXfer(const TwainTriplet& triplet) {
  const char* text = nullptr;
  const TW_UINT16 refusal = CheckTransferTriplet(m_state, triplet, text);
  return Fail(text, refusal != TWCC_SUCCESS ? refusal : TWCC_SEQERROR);
}

TW_UINT16 Velloran::SetupMemXfer(const TwainTriplet& triplet) {
  const char* text = nullptr;
  if (const TW_UINT16 refusal = CheckTransferTriplet(m_state, triplet, text); refusal != TWCC_SUCCESS) {
    return Fail(text, refusal);
  }
  auto* setup = static_cast<TW_SETUPMEMXFER*>(triplet.data);
  setup->MinBufSize = kMinBufSize;
  setup->MaxBufSize = kMaxBufSize;
  setup->Preferred = kMaxBufSize;
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::MemXfer(const TwainTriplet& triplet) {
  const char* text = nullptr;
  const TW_UINT16 refusal = CheckTransferTriplet(m_state, triplet, text);
  return Fail(text, refusal != TWCC_SUCCESS ? refusal : TWCC_SEQERROR);
}

TW_UINT16 Velloran::SetupFileXfer(const TwainTriplet& triplet) {
  const char* text = nullptr;
  if (const TW_UINT16 refusal = CheckTransferTriplet(m_state, triplet, text); refusal != TWCC_SUCCESS) {
    return Fail(text, refusal);
  }
  auto* setup = static_cast<TW_SETUPFILEXFER*>(triplet.data);
  const SettingsStore& settings = Settings();
  switch (triplet.msg) {
    case MSG_GETDEFAULT:
      DescribeFileTransfer(settings.GetDefaultFile(), *setup);
      return TWRC_SUCCESS;
    case MSG_RESET:
      settings.ResetCurrentFile();
      break;
    case MSG_SET: {
      if (setup->Format != TWFF_BMP) {
        const TW_UINT16 failed = Fail(kBadFileFormat, TWCC_BADVALUE);
        settings.ResetCurrentFile();
        return failed;
      }
      const std::string name = FileNameOf(*setup);
      if (!EnsureFileExists(name)) {
        const TW_UINT16 failed = Fail(kUnableToCreateFile, TWCC_BADVALUE);
        settings.ResetCurrentFile();
        return failed;
      }
      // Written to the settings file at once: the name outlives the process.
      settings.SetCurrentFile(name);
      return TWRC_SUCCESS;
    }
    default:  // MSG_GET
      break;
  }
  DescribeFileTransfer(settings.GetCurrentFile(), *setup);
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::FileXfer(const TwainTriplet& triplet) {
  const char* text = nullptr;
  const TW_UINT16 refusal = CheckTransferTriplet(m_state, triplet, text);
  return Fail(text, refusal != TWCC_SUCCESS ? refusal : TWCC_SEQERROR);
}
