#include "imaging/CodecFixtures.h"

#include <gif_lib.h>
#include <jpeglib.h>
#include <openjpeg.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "imaging/ImageFixtures.h"
#include "support/ShellQuoted.h"

namespace fixtures {

namespace {

uint32_t Index(const CxImage& image, uint32_t x, uint32_t y) { return IndexAt(image, x, y); }

// The picture row y as the file formats want it: indices (1/4/8 bits, packed MSB first) or
// RGB triples.
Bytes PackedRow(const CxImage& image, uint32_t y) {
  const uint8_t* row = image.GetBits(image.GetHeight() - 1 - y);
  const size_t bytes = (size_t{image.GetWidth()} * image.GetBpp() + 7) / 8;
  return Bytes(row, row + bytes);
}

void AppendChunk(ByteWriter& out, const char* type, const Bytes& data) {
  out.BE32(static_cast<uint32_t>(data.size()));
  Bytes typeAndData(type, type + 4);
  typeAndData.insert(typeAndData.end(), data.begin(), data.end());
  out.Append(typeAndData);
  out.BE32(static_cast<uint32_t>(crc32(0, typeAndData.data(), static_cast<uInt>(typeAndData.size()))));
}

}  // namespace

Bytes Encoded(const CxImage& image, uint32_t formatId) {
  Bytes out;
  if (!image.Encode(out, formatId)) throw std::runtime_error(std::string("encode failed: ") + image.GetLastError());
  return out;
}

Bytes WriteTga(const CxImage& image, bool rle, bool topOrigin) {
  const bool mapped = image.GetBpp() == 8;
  const uint32_t width = image.GetWidth();
  const uint32_t height = image.GetHeight();
  ByteWriter out;
  out.U8(0).U8(mapped ? 1 : 0).U8((mapped ? 1 : 2) + (rle ? 8 : 0));
  out.LE16(0).LE16(mapped ? 256 : 0).U8(mapped ? 24 : 0);
  out.LE16(0).LE16(0).LE16(width).LE16(height).U8(mapped ? 8 : 24).U8(topOrigin ? 0x20 : 0);
  if (mapped)
    for (uint32_t i = 0; i < 256; ++i) {
      const RgbQuad c = image.GetPaletteColor(i);
      out.U8(c.blue).U8(c.green).U8(c.red);
    }
  // Pixels in file order, then packed as runs and single literals.
  std::vector<Bytes> pixels;
  for (uint32_t r = 0; r < height; ++r) {
    const uint32_t y = topOrigin ? r : height - 1 - r;
    for (uint32_t x = 0; x < width; ++x) {
      if (mapped) {
        pixels.push_back({static_cast<uint8_t>(Index(image, x, y))});
      } else {
        const RgbQuad c = PixelAt(image, x, y);
        pixels.push_back({c.blue, c.green, c.red});
      }
    }
  }
  for (size_t i = 0; i < pixels.size();) {
    if (!rle) {
      out.Append(pixels[i++]);
      continue;
    }
    size_t run = 1;
    while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i]) ++run;
    if (run >= 2) {
      out.U8(0x80 | (run - 1)).Append(pixels[i]);
      i += run;
    } else {
      out.U8(0).Append(pixels[i++]);
    }
  }
  return out.Get();
}

Bytes WritePcx(const CxImage& image) {
  const uint32_t bpp = image.GetBpp();
  const uint32_t width = image.GetWidth();
  const uint32_t height = image.GetHeight();
  const uint32_t bits = bpp == 1 ? 1 : 8;
  const uint32_t planes = bpp == 24 ? 3 : 1;
  uint32_t bytesPerLine = (width * bits + 7) / 8;
  bytesPerLine += bytesPerLine & 1;
  ByteWriter out;
  out.U8(0x0A).U8(5).U8(1).U8(bits);
  out.LE16(0).LE16(0).LE16(width - 1).LE16(height - 1);
  out.LE16(static_cast<uint32_t>(image.GetXDPI())).LE16(static_cast<uint32_t>(image.GetYDPI()));
  out.Fill(48, 0).U8(0).U8(planes).LE16(bytesPerLine).LE16(1);
  out.Fill(128 - out.Size(), 0);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t p = 0; p < planes; ++p) {
      Bytes line(bytesPerLine, 0);
      if (bpp == 24) {
        for (uint32_t x = 0; x < width; ++x) {
          const RgbQuad c = PixelAt(image, x, y);
          line[x] = p == 0 ? c.red : p == 1 ? c.green : c.blue;
        }
      } else {
        const Bytes row = PackedRow(image, y);
        std::copy(row.begin(), row.end(), line.begin());
      }
      for (size_t i = 0; i < line.size();) {
        size_t run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || line[i] >= 0xC0) {
          out.U8(0xC0 | run).U8(line[i]);
        } else {
          out.U8(line[i]);
        }
        i += run;
      }
    }
  }
  if (bpp == 8) {
    out.U8(0x0C);
    for (uint32_t i = 0; i < 256; ++i) {
      const RgbQuad c = image.GetPaletteColor(i);
      out.U8(c.red).U8(c.green).U8(c.blue);
    }
  }
  return out.Get();
}

Bytes WriteWbmp(const CxImage& image) {
  ByteWriter out;
  out.U8(0).U8(0);
  for (uint32_t value : {image.GetWidth(), image.GetHeight()}) {
    if (value >= 128) out.U8(0x80 | (value >> 7));
    out.U8(value & 0x7F);
  }
  for (uint32_t y = 0; y < image.GetHeight(); ++y) out.Append(PackedRow(image, y));
  return out.Get();
}

Bytes WritePnm(const CxImage& image, char kind, uint32_t maxValue) {
  const uint32_t width = image.GetWidth();
  const uint32_t height = image.GetHeight();
  ByteWriter out;
  out.Text(std::string("P") + kind + "\n# made by the tests\n" + std::to_string(width) + " " + std::to_string(height) + "\n");
  if (kind != '1' && kind != '4') out.Text(std::to_string(maxValue) + "\n");
  auto scaled = [&](uint8_t v) { return (uint32_t{v} * maxValue + 127) / 255; };
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const RgbQuad c = PixelAt(image, x, y);
      switch (kind) {
        case '1': out.Text(c.red == 0 ? "1" : "0"); break;
        case '2': out.Text(std::to_string(scaled(c.red)) + " "); break;
        case '3': out.Text(std::to_string(scaled(c.red)) + " " + std::to_string(scaled(c.green)) + " " + std::to_string(scaled(c.blue)) + "\n"); break;
        case '5': case '6':
          for (uint8_t v : kind == '5' ? std::vector<uint8_t>{c.red} : std::vector<uint8_t>{c.red, c.green, c.blue}) {
            if (maxValue > 255) out.BE16(scaled(v)); else out.U8(scaled(v));
          }
          break;
        default: break;
      }
    }
    if (kind == '4') {
      Bytes row((width + 7) / 8, 0);
      for (uint32_t x = 0; x < width; ++x)
        if (PixelAt(image, x, y).red == 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      out.Append(row);
    }
    if (kind == '1' || kind == '2') out.Text("\n");
  }
  return out.Get();
}

Bytes WritePgx(const CxImage& image, bool bigEndian, uint32_t depth) {
  ByteWriter out;
  out.Text(std::string("PG ") + (bigEndian ? "ML" : "LM") + " +" + std::to_string(depth) + " " +
           std::to_string(image.GetWidth()) + " " + std::to_string(image.GetHeight()) + "\n");
  for (uint32_t y = 0; y < image.GetHeight(); ++y)
    for (uint32_t x = 0; x < image.GetWidth(); ++x) {
      const uint32_t v = PixelAt(image, x, y).red;
      const uint32_t sample = depth >= 8 ? v << (depth - 8) : v >> (8 - depth);
      if (depth <= 8) out.U8(sample);
      else if (bigEndian) out.BE16(sample);
      else out.LE16(sample);
    }
  return out.Get();
}

Bytes WriteRas(const CxImage& image, bool rle) {
  const uint32_t bpp = image.GetBpp();
  const uint32_t width = image.GetWidth();
  const uint32_t height = image.GetHeight();
  const uint32_t mapEntries = bpp <= 8 ? image.GetNumColors() : 0;
  size_t rowBytes = (size_t{width} * bpp + 7) / 8;
  rowBytes += rowBytes & 1;
  Bytes data;
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row(rowBytes, 0);
    if (bpp == 24) {
      for (uint32_t x = 0; x < width; ++x) {
        const RgbQuad c = PixelAt(image, x, y);
        row[3 * x] = c.blue;
        row[3 * x + 1] = c.green;
        row[3 * x + 2] = c.red;
      }
    } else {
      const Bytes packed = PackedRow(image, y);
      std::copy(packed.begin(), packed.end(), row.begin());
    }
    data.insert(data.end(), row.begin(), row.end());
  }
  if (rle) {
    Bytes encoded;
    for (size_t i = 0; i < data.size();) {
      size_t run = 1;
      while (i + run < data.size() && run < 256 && data[i + run] == data[i]) ++run;
      if (run >= 3 || data[i] == 0x80) {
        if (run == 1) {
          encoded.insert(encoded.end(), {0x80, 0x00});
        } else {
          encoded.insert(encoded.end(), {0x80, static_cast<uint8_t>(run - 1), data[i]});
        }
        i += run;
      } else {
        encoded.push_back(data[i++]);
      }
    }
    data.swap(encoded);
  }
  ByteWriter out;
  out.BE32(0x59A66A95).BE32(width).BE32(height).BE32(bpp).BE32(static_cast<uint32_t>(data.size()));
  out.BE32(rle ? 2 : 1).BE32(mapEntries ? 1 : 0).BE32(mapEntries * 3);
  for (int channel = 0; channel < 3; ++channel)
    for (uint32_t i = 0; i < mapEntries; ++i) {
      const RgbQuad c = image.GetPaletteColor(i);
      out.U8(channel == 0 ? c.red : channel == 1 ? c.green : c.blue);
    }
  out.Append(data);
  return out.Get();
}

Bytes WriteSka(const CxImage& image) {
  ByteWriter out;
  out.LE16(image.GetWidth()).LE16(image.GetHeight()).U8(3).LE32(0);
  for (uint32_t i = 0; i < 256; ++i) {
    const RgbQuad c = image.GetPaletteColor(i);
    out.U8(c.red).U8(c.green).U8(c.blue);
  }
  for (uint32_t y = 0; y < image.GetHeight(); ++y) out.Append(PackedRow(image, y));
  return out.Get();
}

namespace {

int WriteToBytes(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

}  // namespace

Bytes WriteGif(const std::vector<const CxImage*>& frames, bool interlace) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToBytes, &error);
  if (!gif) throw std::runtime_error("EGifOpen failed");
  const CxImage& first = *frames.front();
  GifColorType colors[256];
  for (uint32_t i = 0; i < 256; ++i) {
    const RgbQuad c = first.GetPaletteColor(i);
    colors[i] = GifColorType{c.red, c.green, c.blue};
  }
  ColorMapObject* map = GifMakeMapObject(256, colors);
  EGifPutScreenDesc(gif, static_cast<int>(first.GetWidth()), static_cast<int>(first.GetHeight()), 8, 0, map);
  for (const CxImage* frame : frames) {
    const int width = static_cast<int>(frame->GetWidth());
    const int height = static_cast<int>(frame->GetHeight());
    EGifPutImageDesc(gif, 0, 0, width, height, interlace, nullptr);
    std::vector<int> order;
    if (interlace) {
      constexpr int kStart[4] = {0, 4, 2, 1};
      constexpr int kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
    } else {
      for (int y = 0; y < height; ++y) order.push_back(y);
    }
    for (int y : order) {
      Bytes row = PackedRow(*frame, static_cast<uint32_t>(y));
      EGifPutLine(gif, row.data(), width);
    }
  }
  GifFreeMapObject(map);
  if (EGifCloseFile(gif, &error) != GIF_OK) throw std::runtime_error("EGifCloseFile failed");
  return out;
}

Bytes WriteIco(const std::vector<const CxImage*>& images, const std::vector<bool>& asPng) {
  std::vector<Bytes> data;
  for (size_t i = 0; i < images.size(); ++i) {
    const CxImage& image = *images[i];
    if (asPng[i]) {
      data.push_back(Encoded(image, ImageFormat::Png));
      continue;
    }
    Bytes dib = Encoded(image, ImageFormat::Bmp);
    dib.erase(dib.begin(), dib.begin() + 14);  // no file header inside icons
    StoreLE32(dib.data() + 8, image.GetHeight() * 2);  // colour rows and mask rows
    const size_t maskRow = ((image.GetWidth() + 31) / 32) * 4;
    dib.insert(dib.end(), maskRow * image.GetHeight(), 0);
    data.push_back(std::move(dib));
  }
  ByteWriter out;
  out.LE16(0).LE16(1).LE16(static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    const CxImage& image = *images[i];
    out.U8(image.GetWidth() & 0xFF).U8(image.GetHeight() & 0xFF).U8(image.GetBpp() == 4 ? 16 : 0).U8(0);
    out.LE16(1).LE16(image.GetBpp()).LE32(static_cast<uint32_t>(data[i].size())).LE32(offset);
    offset += static_cast<uint32_t>(data[i].size());
  }
  for (const Bytes& d : data) out.Append(d);
  return out.Get();
}

Bytes WriteMng(const CxImage& image) {
  const Bytes png = Encoded(image, ImageFormat::Png);
  ByteWriter out;
  out.Append({0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
  ByteWriter header;
  header.BE32(image.GetWidth()).BE32(image.GetHeight()).BE32(1000).BE32(1).BE32(1).BE32(0).BE32(1);
  AppendChunk(out, "MHDR", header.Get());
  out.Append(Bytes(png.begin() + 8, png.end()));  // the PNG's chunks, IHDR to IEND
  AppendChunk(out, "MEND", {});
  return out.Get();
}

namespace {

struct OpjSink {
  Bytes bytes;
  size_t position = 0;
};

OPJ_SIZE_T SinkWrite(void* buffer, OPJ_SIZE_T size, void* user) {
  auto* sink = static_cast<OpjSink*>(user);
  if (sink->position + size > sink->bytes.size()) sink->bytes.resize(sink->position + size);
  std::memcpy(sink->bytes.data() + sink->position, buffer, size);
  sink->position += size;
  return size;
}
OPJ_OFF_T SinkSkip(OPJ_OFF_T count, void* user) {
  auto* sink = static_cast<OpjSink*>(user);
  sink->position += static_cast<size_t>(count);
  if (sink->position > sink->bytes.size()) sink->bytes.resize(sink->position);
  return count;
}
OPJ_BOOL SinkSeek(OPJ_OFF_T offset, void* user) {
  auto* sink = static_cast<OpjSink*>(user);
  sink->position = static_cast<size_t>(offset);
  if (sink->position > sink->bytes.size()) sink->bytes.resize(sink->position);
  return OPJ_TRUE;
}

}  // namespace

Bytes WriteJpeg2000(const CxImage& image, bool jp2File) {
  const bool color = image.GetBpp() == 24;
  const uint32_t components = color ? 3 : 1;
  const uint32_t width = image.GetWidth();
  const uint32_t height = image.GetHeight();
  opj_image_cmptparm_t parameters[3] = {};
  for (uint32_t c = 0; c < components; ++c) {
    parameters[c].dx = parameters[c].dy = 1;
    parameters[c].w = width;
    parameters[c].h = height;
    parameters[c].prec = 8;
    parameters[c].sgnd = 0;
  }
  opj_image_t* j2k = opj_image_create(components, parameters, color ? OPJ_CLRSPC_SRGB : OPJ_CLRSPC_GRAY);
  j2k->x0 = j2k->y0 = 0;
  j2k->x1 = width;
  j2k->y1 = height;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const RgbQuad c = PixelAt(image, x, y);
      const int values[3] = {c.red, c.green, c.blue};
      for (uint32_t k = 0; k < components; ++k) j2k->comps[k].data[y * width + x] = values[k];
    }
  opj_cparameters_t encoding;
  opj_set_default_encoder_parameters(&encoding);
  encoding.tcp_numlayers = 1;
  encoding.tcp_rates[0] = 0;  // lossless
  encoding.cp_disto_alloc = 1;
  encoding.numresolution = 3;
  opj_codec_t* codec = opj_create_compress(jp2File ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  OpjSink sink;
  opj_stream_t* stream = opj_stream_create(64 * 1024, OPJ_FALSE);
  opj_stream_set_user_data(stream, &sink, nullptr);
  opj_stream_set_write_function(stream, SinkWrite);
  opj_stream_set_skip_function(stream, SinkSkip);
  opj_stream_set_seek_function(stream, SinkSeek);
  const bool ok = opj_setup_encoder(codec, &encoding, j2k) && opj_start_compress(codec, j2k, stream) &&
                  opj_encode(codec, stream) && opj_end_compress(codec, stream);
  opj_stream_destroy(stream);
  opj_destroy_codec(codec);
  opj_image_destroy(j2k);
  if (!ok) throw std::runtime_error("OpenJPEG encoding failed");
  return sink.bytes;
}

Bytes WriteCmykJpeg(uint32_t width, uint32_t height, const std::vector<uint8_t>& inks) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = 4;
  info.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&info);  // CMYK in a file with the Adobe marker
  jpeg_set_quality(&info, 100, TRUE);
  jpeg_start_compress(&info, TRUE);
  Bytes row(size_t{width} * 4);
  while (info.next_scanline < height) {
    for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(255 - inks[info.next_scanline * row.size() + i]);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

using test_support::ShellQuoted;

Bytes RunConvert(const std::string& arguments) {
  const std::string command = "convert " + arguments;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run: " + command);
  Bytes out;
  uint8_t buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.insert(out.end(), buffer, buffer + n);
  if (pclose(pipe) != 0) throw std::runtime_error("failed: " + command);
  return out;
}

Bytes MagickRgb(const std::string& path, const std::string& options) {
  return RunConvert(ShellQuoted(path) + " " + options + " -depth 8 rgb:-");
}

::testing::AssertionResult SameAsRgb(const Bytes& rgb, uint32_t width, uint32_t height, const CxImage& image,
                                     int tolerance) {
  if (!image.IsValid()) return ::testing::AssertionFailure() << "image is empty: " << image.GetLastError();
  if (image.GetWidth() != width || image.GetHeight() != height)
    return ::testing::AssertionFailure() << "size " << image.GetWidth() << "x" << image.GetHeight() << ", expected " << width
                                         << "x" << height;
  if (rgb.size() != size_t{width} * height * 3)
    return ::testing::AssertionFailure() << rgb.size() << " reference bytes for " << width << "x" << height;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* e = rgb.data() + 3 * (size_t{y} * width + x);
      const RgbQuad a = PixelAt(image, x, y);
      if (std::abs(a.red - e[0]) > tolerance || std::abs(a.green - e[1]) > tolerance || std::abs(a.blue - e[2]) > tolerance)
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << int(a.red) << ", "
                                             << int(a.green) << ", " << int(a.blue) << "), expected (" << int(e[0])
                                             << ", " << int(e[1]) << ", " << int(e[2]) << ")";
    }
  return ::testing::AssertionSuccess();
}

TempFile::TempFile(const Bytes& content, std::string_view suffix) {
  const char* folder = std::getenv("TMPDIR");
  std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/velloran-imaging-XXXXXX" + std::string(suffix);
  const int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
  if (fd < 0) throw std::runtime_error("mkstemps failed");
  close(fd);
  path_ = pattern;
  std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(content.data()),
                                               static_cast<std::streamsize>(content.size()));
}

TempFile::~TempFile() { std::remove(path_.c_str()); }

}  // namespace fixtures
