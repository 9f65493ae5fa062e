#include "imaging/codecs/MngDecoder.h"

#include <libmng.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "imaging/codecs/ByteReader.h"
#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

constexpr uint8_t kMngSignature[8] = {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint8_t kJngSignature[8] = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
// Canvas lines libmng may ask for before we stop it: enough for a first frame built from
// many layers, never an endless animation loop.
constexpr uint64_t kLineBudgetPerRow = 64;

uint32_t ChunkId(const char* name) { return LoadBE32(reinterpret_cast<const uint8_t*>(name)); }

// Walks every chunk: each must lie inside the file and carry a correct CRC. Returns the
// header's width and height (MHDR or JHDR, which must come first).
Status CheckChunks(std::span<const uint8_t> bytes, uint32_t& width, uint32_t& height) {
  ByteReader reader(bytes);
  reader.Skip(8);
  bool first = true;
  bool sawEnd = false;
  while (!reader.AtEnd() && !sawEnd) {
    const uint32_t length = reader.BE32();
    const auto typeAndData = reader.Bytes(size_t{4} + (length <= kMaxChunkLength ? length : 0));
    const uint32_t crc = reader.BE32();
    if (length > kMaxChunkLength) return Error{"MNG: invalid chunk length " + std::to_string(length)};
    if (reader.Overrun()) return Error{"MNG: file truncated"};
    const uint32_t computed =
        static_cast<uint32_t>(crc32(0, typeAndData.data(), static_cast<uInt>(typeAndData.size())));
    if (computed != crc) return Error{"MNG: chunk CRC mismatch"};
    const uint32_t id = LoadBE32(typeAndData.data());
    if (first) {
      if ((id != ChunkId("MHDR") || length != 28) && (id != ChunkId("JHDR") || length != 16))
        return Error{"MNG: header chunk missing"};
      width = LoadBE32(typeAndData.data() + 4);
      height = LoadBE32(typeAndData.data() + 8);
      first = false;
    }
    sawEnd = id == ChunkId("MEND") || (id == ChunkId("IEND") && LoadBE32(bytes.data() + 12) == ChunkId("JHDR"));
  }
  // Without its end chunk the file was cut short, perhaps while it was still being written.
  if (first || !sawEnd) return Error{"MNG: file truncated"};
  if (auto problem = SizeProblem(width, height, 24, bytes.size(), "MNG"); !problem.empty()) return Error{problem};
  return Status::Ok();
}

// State shared with libmng's callbacks through the handle's user data.
struct MngContext {
  std::span<const uint8_t> bytes;
  size_t position = 0;
  CxImage image{ImageFormat::Mng};
  bool headerSeen = false;
  bool refreshed = false;
  bool overBudget = false;
  uint64_t linesLeft = 0;
  uint32_t ticks = 0;
  std::string error;
};

MngContext& ContextOf(mng_handle handle) { return *static_cast<MngContext*>(mng_get_userdata(handle)); }

mng_ptr MNG_DECL Allocate(mng_size_t length) { return std::calloc(1, length); }  // libmng expects zeroed memory
void MNG_DECL Release(mng_ptr pointer, mng_size_t) { std::free(pointer); }
mng_bool MNG_DECL OpenStream(mng_handle) { return MNG_TRUE; }
mng_bool MNG_DECL CloseStream(mng_handle) { return MNG_TRUE; }

mng_bool MNG_DECL ReadData(mng_handle handle, mng_ptr buffer, mng_uint32 length, mng_uint32p read) {
  MngContext& context = ContextOf(handle);
  const size_t count = std::min<size_t>(length, context.bytes.size() - context.position);
  std::memcpy(buffer, context.bytes.data() + context.position, count);
  context.position += count;
  *read = static_cast<mng_uint32>(count);
  return MNG_TRUE;
}

mng_bool MNG_DECL ProcessHeader(mng_handle handle, mng_uint32 width, mng_uint32 height) {
  MngContext& context = ContextOf(handle);
  if (context.headerSeen) return MNG_FALSE;
  context.headerSeen = true;
  if (auto problem = SizeProblem(width, height, 24, context.bytes.size(), "MNG"); !problem.empty()) {
    context.error = problem;
    return MNG_FALSE;
  }
  if (!context.image.Create(width, height, 24, ImageFormat::Mng)) {
    context.error = context.image.GetLastError();
    return MNG_FALSE;
  }
  // White paper under anything transparent.
  for (uint32_t y = 0; y < height; ++y) std::memset(context.image.GetBits(y), 0xFF, context.image.GetEffWidth());
  context.linesLeft = uint64_t{height} * kLineBudgetPerRow;
  return mng_set_canvasstyle(handle, MNG_CANVAS_BGR8) == MNG_NOERROR ? MNG_TRUE : MNG_FALSE;
}

mng_ptr MNG_DECL CanvasLine(mng_handle handle, mng_uint32 line) {
  MngContext& context = ContextOf(handle);
  if (context.linesLeft > 0) --context.linesLeft;
  else context.overBudget = true;
  // libmng asks only for lines of the canvas it announced; anything else gets row 0 rather
  // than a null pointer it would not check.
  const uint32_t height = context.image.GetHeight();
  return PictureRow(context.image, line < height ? line : 0);
}

mng_bool MNG_DECL Refresh(mng_handle handle, mng_uint32, mng_uint32, mng_uint32, mng_uint32) {
  MngContext& context = ContextOf(handle);
  context.refreshed = true;
  // Stop once a frame is out and the budget is spent: the first frame is what we keep.
  return context.overBudget ? MNG_FALSE : MNG_TRUE;
}

mng_uint32 MNG_DECL TickCount(mng_handle handle) { return ContextOf(handle).ticks += 10; }
mng_bool MNG_DECL SetTimer(mng_handle, mng_uint32) { return MNG_TRUE; }

mng_bool MNG_DECL OnError(mng_handle handle, mng_int32, mng_int8 severity, mng_chunkid, mng_uint32, mng_int32, mng_int32,
                          mng_pchar text) {
  MngContext& context = ContextOf(handle);
  if (context.error.empty() && severity > 1) context.error = std::string("MNG: ") + (text ? text : "decoding failed");
  return MNG_FALSE;
}

// Owns the libmng handle.
class MngHandle {
 public:
  explicit MngHandle(MngContext& context) { handle_ = mng_initialize(&context, Allocate, Release, MNG_NULL); }
  ~MngHandle() {
    if (handle_) mng_cleanup(&handle_);
  }
  MngHandle(const MngHandle&) = delete;
  MngHandle& operator=(const MngHandle&) = delete;
  mng_handle Get() const { return handle_; }

 private:
  mng_handle handle_ = MNG_NULL;
};

}  // namespace

bool MngDecoder::Sniff(std::span<const uint8_t> bytes) {
  return bytes.size() >= 8 &&
         (std::memcmp(bytes.data(), kMngSignature, 8) == 0 || std::memcmp(bytes.data(), kJngSignature, 8) == 0);
}

DecoderResult MngDecoder::Create(std::span<const uint8_t> bytes) {
  if (!Sniff(bytes)) return Error{"MNG: not an MNG or JNG file"};
  uint32_t width = 0;
  uint32_t height = 0;
  auto status = CheckChunks(bytes, width, height);
  if (status.IsError()) return status.TakeError();
  return std::unique_ptr<ImageDecoder>(new MngDecoder(bytes));
}

Result<CxImage> MngDecoder::DecodeFrame(int32_t) {
  MngContext context;
  context.bytes = bytes_;
  MngHandle mng(context);
  mng_handle handle = mng.Get();
  if (!handle) return Error{"MNG: can't initialise the decoder"};
  mng_setcb_errorproc(handle, OnError);
  mng_setcb_openstream(handle, OpenStream);
  mng_setcb_closestream(handle, CloseStream);
  mng_setcb_readdata(handle, ReadData);
  mng_setcb_processheader(handle, ProcessHeader);
  mng_setcb_getcanvasline(handle, CanvasLine);
  mng_setcb_refresh(handle, Refresh);
  mng_setcb_gettickcount(handle, TickCount);
  mng_setcb_settimer(handle, SetTimer);
  const mng_retcode result = mng_readdisplay(handle);
  const bool firstFrameShown = context.refreshed && context.image.IsValid();
  if (!firstFrameShown || (result != MNG_NOERROR && result != MNG_NEEDTIMERWAIT && !context.overBudget))
    return Error{context.error.empty() ? "MNG: decoding failed" : context.error};
  return std::move(context.image);
}

}  // namespace imaging
