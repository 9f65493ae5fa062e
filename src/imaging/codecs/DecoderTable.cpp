#include "imaging/codecs/DecoderTable.h"

#include <array>

#include "imaging/codecs/BmpDecoder.h"
#include "imaging/codecs/GifDecoder.h"
#include "imaging/codecs/IcoDecoder.h"
#include "imaging/codecs/Jpeg2000Decoder.h"
#include "imaging/codecs/JpegDecoder.h"
#include "imaging/codecs/MngDecoder.h"
#include "imaging/codecs/PcxDecoder.h"
#include "imaging/codecs/PgxDecoder.h"
#include "imaging/codecs/PngDecoder.h"
#include "imaging/codecs/PnmDecoder.h"
#include "imaging/codecs/RasDecoder.h"
#include "imaging/codecs/RawDecoder.h"
#include "imaging/codecs/SkaDecoder.h"
#include "imaging/codecs/TgaDecoder.h"
#include "imaging/codecs/TiffDecoder.h"
#include "imaging/codecs/WbmpDecoder.h"
#include "imaging/codecs/WmfDecoder.h"

namespace imaging {

namespace {

template <typename Decoder>
constexpr DecoderEntry EntryOf(uint32_t formatId) {
  return DecoderEntry{formatId, &Decoder::Sniff, &Decoder::Create};
}

constexpr std::array kDetectionTable = {
    EntryOf<BmpDecoder>(ImageFormat::Bmp),
    EntryOf<JpegDecoder>(ImageFormat::Jpeg),
    EntryOf<IcoDecoder>(ImageFormat::Ico),
    EntryOf<GifDecoder>(ImageFormat::Gif),
    EntryOf<PngDecoder>(ImageFormat::Png),
    EntryOf<TiffDecoder>(ImageFormat::Tiff),
    EntryOf<MngDecoder>(ImageFormat::Mng),
    EntryOf<TgaDecoder>(ImageFormat::Tga),
    EntryOf<PcxDecoder>(ImageFormat::Pcx),
    EntryOf<WbmpDecoder>(ImageFormat::Wbmp),
    EntryOf<WmfDecoder>(ImageFormat::Wmf),
    // The JPEG 2000 family: the two JPEG 2000 forms and the raw formats that travel with them.
    EntryOf<Jpeg2000Decoder::Jp2>(ImageFormat::Jp2),
    EntryOf<Jpeg2000Decoder::CodeStream>(ImageFormat::J2k),
    EntryOf<PgxDecoder>(ImageFormat::Pgx),
    EntryOf<PnmDecoder>(ImageFormat::Pnm),
    EntryOf<RasDecoder>(ImageFormat::Ras),
    EntryOf<SkaDecoder>(ImageFormat::Ska),
    EntryOf<RawDecoder>(ImageFormat::Raw),
};

}  // namespace

std::span<const DecoderEntry> DetectionTable() { return kDetectionTable; }

const DecoderEntry* DecoderFor(uint32_t formatId) {
  for (const auto& entry : kDetectionTable)
    if (entry.formatId == formatId) return &entry;
  return nullptr;
}

uint32_t DetectFormat(std::span<const uint8_t> bytes) {
  for (const auto& entry : kDetectionTable) {
    if (!entry.sniff(bytes)) continue;
    if (!entry.create(bytes).IsError()) return entry.formatId;
  }
  return ImageFormat::Unknown;
}

}  // namespace imaging
