// The image description answers and the three transfer mechanisms. The page they read is the
// current image of the scan (CurrentImage); the next one is prepared only at MSG_ENDXFER.
#include <algorithm>

#include "acquisition/ScanImage.h"
#include "imaging/CxImage.h"
#include "imaging/ImageFormat.h"
#include "settings/SettingsStore.h"
#include "twain/Velloran.h"
#include "twain/transfers/FileTransferName.h"
#include "twain/transfers/ImageDescription.h"
#include "twain/transfers/MemoryStrip.h"
#include "twain/transfers/NativeBitmap.h"

namespace {

// A page that went out whole by native or file transfer counts as sent in full, so a
// memory transfer of it afterwards is refused instead of delivering and counting it twice.
void MarkPageDelivered(ScanImage& page) {
  page.SetRowsTransferred(static_cast<int32_t>(page.Image().GetHeight()));
}

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

// The bytes of one row as the memory transfer hands it out: whole bytes, padded to 4. A page
// whose row length was never worked out gets it from its image.
uint32_t RowLengthOf(const ScanImage& page) {
  if (page.BytesPerRow() > 0) return static_cast<uint32_t>(page.BytesPerRow());
  const CxImage& image = page.Image();
  return static_cast<uint32_t>((uint64_t{image.GetWidth()} * image.GetBpp() + 7) / 8 + 3) / 4 * 4;
}

}  // namespace

TW_UINT16 Velloran::GetImageInfo(TW_IMAGEINFO& imageInfo) {
  const ScanImage* page = CurrentImage();
  if (page == nullptr) return Fail(failure_text::kTransfer, TWCC_SEQERROR);
  DescribeImage(page->Image(), imageInfo);
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::GetPalette8(TW_PALETTE8& palette) {
  // States 4 and 5 pass the state check, but no page exists before MSG_XFERREADY.
  const ScanImage* page = CurrentImage();
  if (page == nullptr) return Fail(failure_text::kTransfer, TWCC_SEQERROR);
  DescribePalette(page->Image(), palette);
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::NativeXfer(const TwainTriplet& triplet) {
  const char* text = nullptr;
  if (const TW_UINT16 refusal = CheckTransferTriplet(m_state, triplet, text); refusal != TWCC_SUCCESS) {
    return Fail(text, refusal);
  }
  ScanImage* page = CurrentImage();
  if (page == nullptr) return Fail(text, TWCC_SEQERROR);
  const CxImage& image = page->Image();
  m_logger.Debug("NativeXfer: ImageSize=%d", static_cast<int>(image.GetSize()));
  void* block = CopyBitmapForApplication(image);
  if (block == nullptr) return Fail(text, TWCC_LOWMEMORY);
  m_logger.Debug("NativeXfer: DIB was copied");
  *static_cast<TW_HANDLE*>(triplet.data) = block;
  MarkPageDelivered(*page);
  ++m_xferCount;
  m_state = kState7;
  m_logger.Debug("State 7  %s", "NativeXfer");
  return TWRC_XFERDONE;
}

TW_UINT16 Velloran::SetupMemXfer(const TwainTriplet& triplet) {
  const char* text = nullptr;
  if (const TW_UINT16 refusal = CheckTransferTriplet(m_state, triplet, text); refusal != TWCC_SUCCESS) {
    return Fail(text, refusal);
  }
  // An application sizes its buffers by this answer, and a buffer shorter than one row of the
  // page cannot take any of it; the fixed sizes stay whenever they hold a row.
  const ScanImage* page = CurrentImage();
  const uint32_t rowLength = page != nullptr ? RowLengthOf(*page) : 0;
  auto* setup = static_cast<TW_SETUPMEMXFER*>(triplet.data);
  setup->MinBufSize = std::max(kMinBufSize, rowLength);
  setup->MaxBufSize = std::max(kMaxBufSize, rowLength);
  setup->Preferred = setup->MaxBufSize;
  return TWRC_SUCCESS;
}

TW_UINT16 Velloran::MemXfer(const TwainTriplet& triplet) {
  const char* text = nullptr;
  if (const TW_UINT16 refusal = CheckTransferTriplet(m_state, triplet, text); refusal != TWCC_SUCCESS) {
    return Fail(text, refusal);
  }
  ScanImage* page = CurrentImage();
  if (page == nullptr) return Fail(text, TWCC_SEQERROR);
  const CxImage& image = page->Image();
  const uint32_t height = image.GetHeight();
  const uint32_t rowsSent = static_cast<uint32_t>(std::max(page->RowsTransferred(), 0));
  // The page has gone out whole: only MSG_ENDXFER may follow, and it must not count twice.
  if (rowsSent >= height) return Fail(text, TWCC_SEQERROR);

  auto* xfer = static_cast<TW_IMAGEMEMXFER*>(triplet.data);
  const uint32_t bytesPerRow = RowLengthOf(*page);
  // A buffer that cannot take one row would make an application that keeps asking spin forever.
  if (xfer->Memory.TheMem == nullptr || xfer->Memory.Length < bytesPerRow) return Fail(text, TWCC_BADVALUE);

  const MemoryStrip strip = WriteMemoryStrip(image, bytesPerRow, rowsSent,
                                             static_cast<uint8_t*>(xfer->Memory.TheMem), xfer->Memory.Length);
  xfer->Compression = TWCP_NONE;
  xfer->XOffset = 0;
  xfer->YOffset = rowsSent;
  xfer->BytesPerRow = bytesPerRow;
  xfer->Columns = image.GetWidth();
  xfer->Rows = strip.rows;
  xfer->BytesWritten = strip.bytesWritten;
  page->SetRowsTransferred(static_cast<int32_t>(rowsSent + strip.rows));
  m_logger.Debug("MemXfer \n Compression=%d \n XOffset=%d \n YOffset=%d \n BytesPerRow=%d \n Columns=%d \n Rows=%d \n "
                 "BytesWritten=%d",
                 static_cast<int>(xfer->Compression), static_cast<int>(xfer->XOffset),
                 static_cast<int>(xfer->YOffset), static_cast<int>(xfer->BytesPerRow),
                 static_cast<int>(xfer->Columns), static_cast<int>(xfer->Rows),
                 static_cast<int>(xfer->BytesWritten));
  const bool lastStrip = rowsSent + strip.rows >= height;
  // A memory transfer counts once, at its last strip, but is in state 7 from its first.
  if (lastStrip) ++m_xferCount;
  m_state = kState7;
  m_logger.Debug("State 7  %s", "MemXfer");
  return lastStrip ? TWRC_XFERDONE : TWRC_SUCCESS;
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
      const auto refuse = [&](const char* failureText) {
        const TW_UINT16 failed = Fail(failureText, TWCC_BADVALUE);
        settings.ResetCurrentFile();
        return failed;
      };
      if (setup->Format != TWFF_BMP) return refuse(kBadFileFormat);
      const std::string name = FileNameOf(*setup);
      // Written to the settings file at once, so the name outlives the process. Stored before
      // the file is made: a name the settings file cannot keep must neither leave the previous
      // name in place for the next transfer nor leave an empty file behind.
      if (!settings.SetCurrentFile(name) || !EnsureFileExists(name)) return refuse(kUnableToCreateFile);
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
  if (const TW_UINT16 refusal = CheckTransferTriplet(m_state, triplet, text); refusal != TWCC_SUCCESS) {
    return Fail(text, refusal);
  }
  const std::string path = Settings().GetCurrentFile();
  m_logger.Debug("FileXfer \n FileName=%s", path);
  ScanImage* page = CurrentImage();
  if (page == nullptr) return Fail(text, TWCC_SEQERROR);
  if (path.empty()) return Fail(text, TWCC_OPERATIONERROR);
  if (!page->Image().SaveFile(path, ImageFormat::Bmp)) {
    // The application only sees the fixed failure text; the reason goes to the log.
    m_logger.Error("FileXfer: %s: %s", path, page->Image().GetLastError());
    return Fail(text, TWCC_OPERATIONERROR);
  }
  MarkPageDelivered(*page);
  ++m_xferCount;
  m_state = kState7;
  m_logger.Debug("State 7  %s", "FileXfer");
  return TWRC_XFERDONE;
}
