#include "PageImage.h"

#include <png.h>
#include <sane/sane.h>

#include <cstdio>
#include <memory>

namespace sanenet {
namespace {

constexpr uint32_t kMaxSide = 65535;
constexpr int32_t kLittleEndian = 0x1234;
constexpr size_t kFileBuffer = size_t{1} << 20;

struct Layout {
  uint32_t width;
  uint32_t height;
  int channels;
  int depth;
  size_t bytesPerLine;
};

Layout CheckedLayout(const Frame& frame) {
  const ParametersReply& p = frame.parameters;
  const int channels = p.format == SANE_FRAME_RGB ? 3 : 1;
  if (p.depth != 1 && p.depth != 8 && p.depth != 16)
    throw SaneError("the scanner sent " + std::to_string(p.depth) + "-bit samples, which cannot be stored");
  if (p.depth == 1 && channels != 1) throw SaneError("the scanner sent 1-bit colour, which cannot be stored");
  if (p.pixelsPerLine <= 0 || uint32_t(p.pixelsPerLine) > kMaxSide || p.bytesPerLine <= 0)
    throw SaneError("the scanner sent a line of " + std::to_string(p.pixelsPerLine) + " pixels in " +
                    std::to_string(p.bytesPerLine) + " bytes");
  const uint64_t needed = (uint64_t(p.pixelsPerLine) * channels * p.depth + 7) / 8;
  if (uint64_t(p.bytesPerLine) < needed)
    throw SaneError("the scanner sent lines of " + std::to_string(p.bytesPerLine) + " bytes for " +
                    std::to_string(p.pixelsPerLine) + " pixels");
  // A scanner that does not know the height in advance sends -1: the data decides.
  const uint64_t lines = p.lines >= 0 ? uint64_t(p.lines) : frame.bytes.size() / uint64_t(p.bytesPerLine);
  if (lines == 0 || lines > kMaxSide) throw SaneError("the scanner sent an image of " + std::to_string(lines) + " lines");
  if (frame.bytes.size() < lines * uint64_t(p.bytesPerLine))
    throw SaneError("the image ended after " + std::to_string(frame.bytes.size()) + " of " +
                    std::to_string(lines * uint64_t(p.bytesPerLine)) + " bytes");
  return {uint32_t(p.pixelsPerLine), uint32_t(lines), channels, p.depth, size_t(p.bytesPerLine)};
}

// Sample `index` of a line as 8 bits.
uint8_t Sample8(const uint8_t* line, size_t index, int depth, bool littleEndian) {
  if (depth == 8) return line[index];
  return littleEndian ? line[index * 2 + 1] : line[index * 2];
}

PageImage SingleFramePage(Frame& frame) {
  const Layout layout = CheckedLayout(frame);
  PageImage page;
  page.width = layout.width;
  page.height = layout.height;
  page.bitsPerPixel = layout.depth == 1 ? 1 : 8 * layout.channels;
  const size_t stride = page.Stride();
  if (layout.depth != 16 && layout.bytesPerLine == stride) {
    // The usual case: the frame's lines are the page's rows, and a page is too large to copy.
    page.pixels = std::move(frame.bytes);
    page.pixels.resize(stride * page.height);
    return page;
  }
  page.pixels.resize(stride * page.height);
  const bool littleEndian = frame.byteOrder == kLittleEndian;
  for (uint32_t y = 0; y < page.height; ++y) {
    const uint8_t* line = frame.bytes.data() + y * layout.bytesPerLine;
    uint8_t* out = page.pixels.data() + y * stride;
    if (layout.depth != 16) {
      std::copy_n(line, stride, out);
      continue;
    }
    for (size_t i = 0; i < stride; ++i) out[i] = Sample8(line, i, 16, littleEndian);
  }
  return page;
}

PageImage ThreeFramePage(const std::vector<Frame>& frames) {
  PageImage page;
  bool seen[3] = {false, false, false};
  for (const Frame& frame : frames) {
    const int format = frame.parameters.format;
    if (format < SANE_FRAME_RED || format > SANE_FRAME_BLUE)
      throw SaneError("the scanner mixed frame formats in one page");
    const Layout layout = CheckedLayout(frame);
    if (layout.depth == 1) throw SaneError("the scanner sent 1-bit colour frames, which cannot be stored");
    if (page.pixels.empty()) {
      page.width = layout.width;
      page.height = layout.height;
      page.bitsPerPixel = 24;
      page.pixels.resize(page.Stride() * page.height);
    } else if (layout.width != page.width || layout.height != page.height) {
      throw SaneError("the scanner sent colour frames of different sizes");
    }
    const int channel = format - SANE_FRAME_RED;
    seen[channel] = true;
    const bool littleEndian = frame.byteOrder == kLittleEndian;
    for (uint32_t y = 0; y < page.height; ++y) {
      const uint8_t* line = frame.bytes.data() + y * layout.bytesPerLine;
      uint8_t* out = page.pixels.data() + y * page.Stride();
      for (uint32_t x = 0; x < page.width; ++x) out[x * 3 + channel] = Sample8(line, x, layout.depth, littleEndian);
    }
  }
  if (!seen[0] || !seen[1] || !seen[2]) throw SaneError("the scanner did not send all three colour frames");
  return page;
}

bool BitAt(const uint8_t* line, uint32_t x) { return (line[x / 8] >> (7 - x % 8)) & 1; }

}  // namespace

PageImage AssemblePage(std::vector<Frame> frames) {
  if (frames.empty()) throw SaneError("the scanner sent no image");
  const int format = frames.front().parameters.format;
  if (format == SANE_FRAME_GRAY || format == SANE_FRAME_RGB) {
    if (frames.size() != 1) throw SaneError("the scanner sent more than one frame for a one-frame page");
    return SingleFramePage(frames.front());
  }
  if (format >= SANE_FRAME_RED && format <= SANE_FRAME_BLUE && frames.size() == 3) return ThreeFramePage(frames);
  throw SaneError("the scanner sent frames of format " + std::to_string(format) + ", which cannot be stored");
}

PageImage RotatedClockwise(const PageImage& page) {
  PageImage turned;
  turned.width = page.height;
  turned.height = page.width;
  turned.bitsPerPixel = page.bitsPerPixel;
  turned.pixels.assign(turned.Stride() * turned.height, 0);
  const size_t bytes = page.bitsPerPixel / 8;
  // Pixel (x, y) of the turned page is pixel (y, height - 1 - x) of the original.
  for (uint32_t y = 0; y < turned.height; ++y) {
    uint8_t* out = turned.pixels.data() + y * turned.Stride();
    for (uint32_t x = 0; x < turned.width; ++x) {
      const uint8_t* source = page.pixels.data() + (page.height - 1 - x) * page.Stride();
      if (page.bitsPerPixel == 1) {
        if (BitAt(source, y)) out[x / 8] |= uint8_t(0x80 >> (x % 8));
      } else {
        std::copy_n(source + y * bytes, bytes, out + x * bytes);
      }
    }
  }
  return turned;
}

void WritePng(const PageImage& page, const std::string& path) {
  const std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) throw SaneError("cannot create " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw SaneError("cannot encode " + path + ": out of memory");
  }
  // libpng reports errors by longjmp; nothing with a destructor lives between here and there.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw SaneError("cannot write " + path);
  }
  // A page is megabytes: few large writes instead of one per 4 KB of stdio's default buffer,
  // and IDAT chunks to match.
  std::setvbuf(file.get(), nullptr, _IOFBF, kFileBuffer);
  png_init_io(png, file.get());
  png_set_compression_buffer_size(png, kFileBuffer);
  // Scans are large and the files are read once: speed matters more than size.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  const int colorType = page.bitsPerPixel == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
  png_set_IHDR(png, info, page.width, page.height, page.bitsPerPixel == 1 ? 1 : 8, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  // PNG's 1-bit gray has 0 for black, the scanner 1.
  if (page.bitsPerPixel == 1) png_set_invert_mono(png);
  for (uint32_t y = 0; y < page.height; ++y)
    png_write_row(png, const_cast<png_bytep>(page.pixels.data() + y * page.Stride()));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0) throw SaneError("cannot write " + path);
}

}  // namespace sanenet
