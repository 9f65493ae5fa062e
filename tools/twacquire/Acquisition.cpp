#include "Acquisition.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace twacquire {

namespace {

std::string MessageName(TW_UINT16 msg) {
  switch (msg) {
    case MSG_XFERREADY: return "MSG_XFERREADY";
    case MSG_CLOSEDSREQ: return "MSG_CLOSEDSREQ";
    case MSG_CLOSEDSOK: return "MSG_CLOSEDSOK";
    default: return "message " + std::to_string(msg);
  }
}

struct FreeBlock {
  void operator()(void* block) const { std::free(block); }
};

}  // namespace

Acquisition::Acquisition(TwainApplication& application, const Options& options, PageSink& sink)
    : application_(application), options_(options), sink_(sink) {}

bool Acquisition::Fail(const std::string& what, TW_UINT16 rc) {
  error_ = application_.SourceFailure(what, rc);
  return false;
}

bool Acquisition::SetOneValue(TW_UINT16 capability, TW_UINT16 itemType, TW_UINT32 item, const char* name) {
  // The container is the application's: allocated and freed here, read by the source.
  std::unique_ptr<void, FreeBlock> container(std::calloc(1, sizeof(TW_ONEVALUE)));
  if (!container) {
    error_ = "out of memory";
    return false;
  }
  TW_ONEVALUE value{};
  value.ItemType = itemType;
  value.Item = item;
  std::memcpy(container.get(), &value, sizeof(value));
  TW_CAPABILITY cap{};
  cap.Cap = capability;
  cap.ConType = TWON_ONEVALUE;
  cap.hContainer = container.get();
  const TW_UINT16 rc = application_.Send(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
  if (rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS) return true;
  return Fail(std::string("setting ") + name, rc);
}

bool Acquisition::Negotiate() {
  const auto fix32 = [](double value) {
    const TW_FIX32 fixed = FloatToFix32(value);
    TW_UINT32 item = 0;
    std::memcpy(&item, &fixed, sizeof(fixed));
    return item;
  };
  if (options_.pixelType && !SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, static_cast<TW_UINT32>(*options_.pixelType),
                                         "ICAP_PIXELTYPE")) {
    return false;
  }
  if (options_.bitDepth && !SetOneValue(ICAP_BITDEPTH, TWTY_UINT16, static_cast<TW_UINT32>(*options_.bitDepth),
                                        "ICAP_BITDEPTH")) {
    return false;
  }
  if (options_.resolution && (!SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, fix32(*options_.resolution),
                                           "ICAP_XRESOLUTION") ||
                              !SetOneValue(ICAP_YRESOLUTION, TWTY_FIX32, fix32(*options_.resolution),
                                           "ICAP_YRESOLUTION"))) {
    return false;
  }
  if (options_.transferCount &&
      !SetOneValue(CAP_XFERCOUNT, TWTY_INT16,
                   static_cast<TW_UINT16>(static_cast<TW_INT16>(*options_.transferCount)), "CAP_XFERCOUNT")) {
    return false;
  }
  return true;
}

bool Acquisition::Enable() {
  TW_USERINTERFACE ui{};
  ui.ShowUI = options_.showUi ? TW_TRUE : TW_FALSE;
  ui.ModalUI = TW_FALSE;
  ui.hParent = nullptr;
  start_ = std::chrono::steady_clock::now();
  const TW_UINT16 rc = application_.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  if (rc != TWRC_SUCCESS) return Fail("MSG_ENABLEDS", rc);
  enabled_ = true;
  return true;
}

bool Acquisition::Run() {
  if (!Negotiate() || !Enable()) return false;
  const int waitMs = options_.waitSeconds * 1000;
  bool ok = true;
  bool running = true;
  while (running) {
    const std::optional<TW_UINT16> msg = application_.WaitForNotification(waitMs);
    if (!msg) {
      if (pages_ == 0 && !Interrupted()) {
        error_ = "the source offered no page within " + std::to_string(options_.waitSeconds) + " s";
        ok = false;
      }
      break;
    }
    if (*msg == MSG_CLOSEDSREQ || *msg == MSG_CLOSEDSOK) {
      if (pages_ == 0) note_ = "the source had no page to offer and asked to be closed";
      break;
    }
    if (*msg != MSG_XFERREADY) {
      note_ = "ignored " + MessageName(*msg) + " from the source";
      continue;
    }
    PageOutcome outcome = PageOutcome::kMorePages;
    while (outcome == PageOutcome::kMorePages) outcome = TransferPage();
    if (outcome == PageOutcome::kFailed) {
      ok = false;
      break;
    }
    // With its dialog shown the user may start another batch; else one batch is the run.
    running = options_.showUi && !Interrupted();
  }
  if (Interrupted()) note_ = "interrupted; " + std::to_string(pages_) + (pages_ == 1 ? " page" : " pages") + " kept";
  seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  TW_USERINTERFACE ui{};
  const TW_UINT16 rc = application_.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  if (rc != TWRC_SUCCESS && ok) return Fail("MSG_DISABLEDS", rc);
  enabled_ = false;
  return ok;
}

Acquisition::PageOutcome Acquisition::TransferPage() {
  TW_IMAGEINFO info{};
  TW_UINT16 rc = application_.Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
  if (rc != TWRC_SUCCESS) {
    Fail("DAT_IMAGEINFO", rc);
    AbandonBatch(false);
    return PageOutcome::kFailed;
  }
  TW_PALETTE8 palette{};
  const bool hasPalette = info.BitsPerPixel <= 8;
  if (hasPalette) {
    rc = application_.Send(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette);
    if (rc != TWRC_SUCCESS) {
      Fail("DAT_PALETTE8", rc);
      AbandonBatch(false);
      return PageOutcome::kFailed;
    }
  }

  output_.clear();
  bool transferred = false;
  switch (options_.mechanism) {
    case TransferMechanism::kNative: transferred = TransferNative(info); break;
    case TransferMechanism::kMemory: transferred = TransferMemory(info, hasPalette ? &palette : nullptr); break;
    case TransferMechanism::kFile: transferred = TransferFile(); break;
  }
  if (!transferred) return PageOutcome::kFailed;

  ++pages_;
  // Reported before MSG_ENDXFER, which may wait long for the next page.
  if (onPage_) {
    PageReport report;
    report.number = pages_;
    report.output = output_;
    report.info = info;
    report.elapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    onPage_(report);
  }
  TW_INT16 count = 0;
  if (!EndTransfer(count)) return PageOutcome::kFailed;
  return count != 0 ? PageOutcome::kMorePages : PageOutcome::kBatchEnded;
}

bool Acquisition::TransferNative(const TW_IMAGEINFO&) {
  TW_HANDLE handle = nullptr;
  const TW_UINT16 rc = application_.Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
  // The block is ours whatever happens next.
  std::unique_ptr<void, FreeBlock> block(rc == TWRC_XFERDONE ? handle : nullptr);
  if (rc != TWRC_XFERDONE) {
    Fail("DAT_IMAGENATIVEXFER", rc);
    AbandonBatch(false);
    return false;
  }
  const auto* bytes = static_cast<const uint8_t*>(block.get());
  const std::size_t size = BitmapBlockSize(bytes);
  if (size == 0) {
    error_ = "the native transfer handed over a bitmap twacquire does not understand";
  } else if (sink_.TakeBitmap(pages_ + 1, bytes, size, output_, error_)) {
    return true;
  }
  AbandonBatch(true);
  return false;
}

bool Acquisition::TransferMemory(const TW_IMAGEINFO& info, const TW_PALETTE8* palette) {
  TW_SETUPMEMXFER setup{};
  TW_UINT16 rc = application_.Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
  if (rc != TWRC_SUCCESS) {
    Fail("DAT_SETUPMEMXFER", rc);
    AbandonBatch(false);
    return false;
  }
  const TW_UINT32 length = setup.Preferred != 0 ? setup.Preferred : setup.MaxBufSize;
  if (stripBuffer_.size() != length) stripBuffer_.assign(length, 0);
  sink_.BeginStrips(info, palette);
  bool started = false;
  for (;;) {
    TW_IMAGEMEMXFER strip{};
    strip.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    strip.Memory.Length = length;
    strip.Memory.TheMem = stripBuffer_.data();
    rc = application_.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
    if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) {
      Fail("DAT_IMAGEMEMXFER", rc);
      AbandonBatch(started);
      return false;
    }
    started = true;
    if (!sink_.TakeStrip(strip, stripBuffer_.data(), error_)) {
      AbandonBatch(true);
      return false;
    }
    if (rc == TWRC_XFERDONE) break;
    if (strip.Rows == 0) {
      error_ = "the memory transfer makes no progress (a strip without rows)";
      AbandonBatch(true);
      return false;
    }
  }
  if (sink_.EndStrips(pages_ + 1, output_, error_)) return true;
  AbandonBatch(true);
  return false;
}

bool Acquisition::TransferFile() {
  TW_SETUPFILEXFER setup{};
  const std::string path = sink_.FileTransferPath(pages_ + 1);
  std::strncpy(setup.FileName, path.c_str(), sizeof(setup.FileName) - 1);
  setup.Format = TWFF_BMP;
  TW_UINT16 rc = application_.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
  if (rc != TWRC_SUCCESS) {
    Fail("DAT_SETUPFILEXFER", rc);
    AbandonBatch(false);
    return false;
  }
  rc = application_.Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
  if (rc != TWRC_XFERDONE) {
    Fail("DAT_IMAGEFILEXFER", rc);
    AbandonBatch(false);
    return false;
  }
  if (sink_.TakeFile(pages_ + 1, path, output_, error_)) return true;
  AbandonBatch(true);
  return false;
}

void Acquisition::Interrupt() {
  breaker_.Interrupt();
  application_.StopWaiting();
}

bool Acquisition::EndTransfer(TW_INT16& count) {
  TW_PENDINGXFERS pending{};
  TW_UINT16 rc = TWRC_FAILURE;
  const bool broken = breaker_.Run(std::chrono::seconds(options_.waitSeconds), [&] {
    rc = application_.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
  });
  if (rc != TWRC_SUCCESS) {
    Fail("MSG_ENDXFER", rc);
    return false;
  }
  count = static_cast<TW_INT16>(pending.Count);
  if (broken && !Interrupted()) {
    note_ = "no further page within " + std::to_string(options_.waitSeconds) + " s";
  }
  // A page that came as the wait was broken is not taken: the batch ends here.
  if ((broken || Interrupted()) && count != 0) {
    rc = application_.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    if (rc != TWRC_SUCCESS) return Fail("MSG_RESET", rc);
    count = 0;
  }
  return true;
}

void Acquisition::AbandonBatch(bool transferStarted) {
  TW_PENDINGXFERS pending{};
  // A transfer that has begun (state 7) must be ended before the rest can be dropped.
  if (transferStarted) application_.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
  if (pending.Count != 0 || !transferStarted) application_.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
}

}  // namespace twacquire
