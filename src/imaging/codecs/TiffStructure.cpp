#include "imaging/codecs/TiffStructure.h"

#include <string>
#include <unordered_set>

#include "imaging/BitmapTypes.h"
#include "imaging/ImageLimits.h"

namespace imaging {

namespace {

constexpr uint32_t kMaxDirectories = 65535;

class TiffLayout {
 public:
  explicit TiffLayout(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool ReadHeader() {
    if (bytes_.size() < 8) return false;
    little_ = bytes_[0] == 'I';
    const uint16_t magic = U16(2);
    if (magic == 42) {
      big_ = false;
      first_ = U32(4);
      return true;
    }
    if (magic == 43 && bytes_.size() >= 16 && U16(4) == 8) {
      big_ = true;
      first_ = U64(8);
      return true;
    }
    return false;
  }

  uint64_t First() const { return first_; }
  size_t EntrySize() const { return big_ ? 20 : 12; }
  size_t CountSize() const { return big_ ? 8 : 2; }
  size_t OffsetSize() const { return big_ ? 8 : 4; }

  bool Has(uint64_t offset, uint64_t length) const { return offset <= bytes_.size() && length <= bytes_.size() - offset; }

  uint16_t U16(uint64_t at) const { return little_ ? LoadLE16(bytes_.data() + at) : LoadBE16(bytes_.data() + at); }
  uint32_t U32(uint64_t at) const { return little_ ? LoadLE32(bytes_.data() + at) : LoadBE32(bytes_.data() + at); }
  uint64_t U64(uint64_t at) const {
    const uint64_t a = U32(at);
    const uint64_t b = U32(at + 4);
    return little_ ? (b << 32) | a : (a << 32) | b;
  }
  uint64_t Count(uint64_t at) const { return big_ ? U64(at) : U16(at); }
  // Values in an entry: tag (2), type (2), count (4 or 8), then the value or its offset.
  uint64_t ValueCount(uint64_t entry) const { return big_ ? U64(entry + 4) : U32(entry + 4); }
  uint64_t ValueField(uint64_t entry) const { return entry + (big_ ? 12 : 8); }
  uint64_t Offset(uint64_t at) const { return big_ ? U64(at) : U32(at); }

 private:
  std::span<const uint8_t> bytes_;
  bool little_ = true;
  bool big_ = false;
  uint64_t first_ = 0;
};

uint64_t TypeSize(uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: case 16: case 17: case 18: return 8;
    default: return 0;  // unknown types are skipped by libtiff as well
  }
}

struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint64_t count = 0;
  uint64_t valueAt = 0;  // where the values are: inside the entry or at its offset
};

// The n-th value of an array entry of SHORT, LONG or LONG8 values.
uint64_t ArrayValue(const TiffLayout& layout, const Entry& entry, uint64_t n) {
  switch (entry.type) {
    case 3: return layout.U16(entry.valueAt + 2 * n);
    case 4: return layout.U32(entry.valueAt + 4 * n);
    default: return layout.U64(entry.valueAt + 8 * n);
  }
}

bool IsArrayType(uint16_t type) { return type == 3 || type == 4 || type == 16; }

Error OutsideError(const char* what) { return Error{std::string("TIFF: ") + what + " outside the file"}; }

}  // namespace

Status CheckTiffDirectory(std::span<const uint8_t> bytes, uint32_t index) {
  TiffLayout layout(bytes);
  if (!layout.ReadHeader()) return Error{"TIFF: invalid header"};
  uint64_t offset = layout.First();
  std::unordered_set<uint64_t> visited;
  for (uint32_t i = 0;; ++i) {
    if (offset == 0 || i > kMaxDirectories) return Error{"Error: page not present in TIFF file"};
    if (!visited.insert(offset).second) return Error{"TIFF: directory chain loops"};
    if (!layout.Has(offset, layout.CountSize())) return OutsideError("directory");
    const uint64_t entries = layout.Count(offset);
    const uint64_t entriesAt = offset + layout.CountSize();
    if (!layout.Has(entriesAt, entries * layout.EntrySize() + layout.OffsetSize())) return OutsideError("directory");
    const uint64_t nextAt = entriesAt + entries * layout.EntrySize();
    if (i < index) {
      offset = layout.Offset(nextAt);
      continue;
    }
    Entry offsets;
    Entry counts;
    for (uint64_t e = 0; e < entries; ++e) {
      const uint64_t at = entriesAt + e * layout.EntrySize();
      Entry entry;
      entry.tag = layout.U16(at);
      entry.type = layout.U16(at + 2);
      entry.count = layout.ValueCount(at);
      const uint64_t size = TypeSize(entry.type);
      if (size == 0) continue;
      const auto bytesOfValues = CheckedMul(entry.count, size);
      if (!bytesOfValues) return OutsideError("tag value");
      const uint64_t valueField = layout.ValueField(at);
      entry.valueAt = *bytesOfValues <= layout.OffsetSize() ? valueField : layout.Offset(valueField);
      if (!layout.Has(entry.valueAt, *bytesOfValues)) return OutsideError("tag value");
      if ((entry.tag == 273 || entry.tag == 324) && IsArrayType(entry.type)) offsets = entry;
      if ((entry.tag == 279 || entry.tag == 325) && IsArrayType(entry.type)) counts = entry;
    }
    if (offsets.count > 0 && offsets.count == counts.count) {
      for (uint64_t n = 0; n < offsets.count; ++n)
        if (!layout.Has(ArrayValue(layout, offsets, n), ArrayValue(layout, counts, n))) return OutsideError("image data");
    }
    return Status::Ok();
  }
}

}  // namespace imaging
