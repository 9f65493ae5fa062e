// Format rules of the smaller decoders that the conformance suite does not reach.

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <string>

#include "imaging/CodecFixtures.h"
#include "imaging/CxImage.h"
#include "imaging/ImageFixtures.h"

namespace {

using fixtures::ByteWriter;
using fixtures::Bytes;

std::string DecodeError(const Bytes& bytes, uint32_t format, int32_t frame = 0) {
  CxImage image;
  image.SetFrame(frame);
  if (image.Decode(bytes, format)) return "decoded";
  return image.GetLastError();
}

TEST(GifDecoderTest, EachImageIsAFrame) {
  const CxImage first = fixtures::MakePaletteImage(12, 7, 8);
  CxImage second = fixtures::MakePaletteImage(12, 7, 8);
  for (uint32_t x = 0; x < 12; ++x) fixtures::SetIndex(second, x, 3, 200);
  const CxImage third = fixtures::MakePaletteImage(12, 7, 8);
  const Bytes file = fixtures::WriteGif({&first, &second, &third}, true);
  CxImage image;
  image.SetFrame(1);
  ASSERT_TRUE(image.Decode(file, ImageFormat::Gif)) << image.GetLastError();
  EXPECT_EQ(image.GetNumFrames(), 3);
  EXPECT_TRUE(fixtures::SameColors(second, image));
  EXPECT_EQ(DecodeError(file, ImageFormat::Gif, 3), "Error: frame not present in GIF file");
}

TEST(GifDecoderTest, ScreenOfAbsurdSizeIsRefused) {
  const CxImage frame = fixtures::MakePaletteImage(4, 4, 8);
  Bytes file = fixtures::WriteGif({&frame}, false);
  file[6] = file[7] = file[8] = file[9] = 0xFF;  // logical screen 65535 x 65535
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(DecodeError(file, ImageFormat::Gif), "GIF: image too large (65535 x 65535)");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(IcoDecoderTest, EntriesOutsideTheFileAreRefused) {
  const CxImage icon = fixtures::MakePaletteImage(16, 16, 4);
  Bytes file = fixtures::WriteIco({&icon}, {false});
  StoreLE32(file.data() + 6 + 12, 0xFFFFFFF0);  // offset: offset + size wraps in 32 bits
  EXPECT_EQ(DecodeError(file, ImageFormat::Ico), "ICO: image 0 lies outside the file");
}

TEST(IcoDecoderTest, EmbeddedPngIsDecodedFromItsOwnBytes) {
  const CxImage small = fixtures::MakeColorImage(8, 8);
  const CxImage large = fixtures::MakeGrayImage(32, 32);
  const Bytes file = fixtures::WriteIco({&small, &large}, {false, true});
  CxImage image;
  image.SetFrame(1);
  ASSERT_TRUE(image.Decode(file, ImageFormat::Unknown)) << image.GetLastError();
  EXPECT_EQ(image.GetType(), ImageFormat::Ico);
  EXPECT_TRUE(fixtures::SameColors(large, image));
}

struct PnmCase {
  const char* name;
  std::string file;
  std::string error;  // "decoded" when it must decode
};

class PnmHeaderTest : public ::testing::TestWithParam<PnmCase> {};

TEST_P(PnmHeaderTest, ChecksItsNumbers) {
  const Bytes bytes(GetParam().file.begin(), GetParam().file.end());
  EXPECT_EQ(DecodeError(bytes, ImageFormat::Pnm), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, PnmHeaderTest,
    ::testing::Values(PnmCase{"MaxValueZero", "P2 2 1 0\n0 0\n", "PNM: maximum value must be 1 to 65535"},
                      PnmCase{"MaxValueTooLarge", "P5 1 1 65536\n\x01\x02", "PNM: maximum value must be 1 to 65535"},
                      PnmCase{"WidthOverflows", "P5 99999999999 1 255\n", "PNM: invalid width or height"},
                      PnmCase{"NoPixels", "P6 0 5 255\n", "PNM: image has no pixels"},
                      PnmCase{"HugeClaimTinyFile", "P5 16000 16000 255\n\x01\x02\x03", "PNM: image data truncated"},
                      PnmCase{"CommentsAnywhere", "P2 # w\n2 # h\n1\n# max\n255\n0 255\n", "decoded"},
                      PnmCase{"SampleAboveMaximumCountsAsMaximum", "P2 1 1 15\n99\n", "decoded"},
                      PnmCase{"PlainBitmapWithoutSeparators", "P1 3 1\n101", "decoded"},
                      PnmCase{"GarbageSample", "P3 1 1 255\n1 x 3\n", "PNM: invalid or missing sample"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PnmDecoderTest, SamplesAreScaledFromTheirMaximum) {
  const std::string text = "P2 3 1 15\n0 7 15\n";
  CxImage image;
  ASSERT_TRUE(image.Decode(Bytes(text.begin(), text.end()), ImageFormat::Pnm));
  EXPECT_EQ(fixtures::IndexAt(image, 0, 0), 0u);
  EXPECT_EQ(fixtures::IndexAt(image, 1, 0), 119u);
  EXPECT_EQ(fixtures::IndexAt(image, 2, 0), 255u);
}

struct SmallHeaderCase {
  const char* name;
  Bytes file;
  uint32_t format;
  std::string error;
};

class SmallDecoderRejectTest : public ::testing::TestWithParam<SmallHeaderCase> {};

TEST_P(SmallDecoderRejectTest, ClaimsBeyondTheFileFailFast) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(DecodeError(GetParam().file, GetParam().format), GetParam().error);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

Bytes TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t bits) {
  return ByteWriter().U8(0).U8(0).U8(type).LE16(0).LE16(0).U8(0).LE16(0).LE16(0).LE16(width).LE16(height).U8(bits).U8(0).Get();
}

// The start of a JPEG 2000 code stream: SOC and SIZ of one 8-bit component, then SOT and EOC.
Bytes CodeStreamHeader(uint32_t width, uint32_t height, uint32_t tileWidth, uint32_t tileHeight) {
  ByteWriter out;
  out.BE16(0xFF4F).BE16(0xFF51).BE16(41).BE16(0).BE32(width).BE32(height).BE32(0).BE32(0);
  out.BE32(tileWidth).BE32(tileHeight).BE32(0).BE32(0).BE16(1).U8(7).U8(1).U8(1);
  out.BE16(0xFF52).BE16(12).U8(0).U8(0).BE16(1).U8(0).U8(5).U8(4).U8(4).U8(0).U8(1);
  out.BE16(0xFF5C).BE16(4).U8(0x40).U8(0x48);
  return out.BE16(0xFFD9).Get();
}

INSTANTIATE_TEST_SUITE_P(
    Headers, SmallDecoderRejectTest,
    ::testing::Values(
        SmallHeaderCase{"TgaRleBomb", ByteWriter().Append(TgaHeader(11, 16000, 16000, 8)).U8(0xFF).U8(1).Get(),
                        ImageFormat::Tga, "TGA: pixel data truncated"},
        SmallHeaderCase{"TgaHuffman", TgaHeader(32, 4, 4, 8), ImageFormat::Tga, "TGA: Huffman-compressed images are not supported"},
        SmallHeaderCase{"TgaRleTrueColour12Bit", ByteWriter().Append(TgaHeader(10, 4, 4, 12)).Fill(64, 0).Get(), ImageFormat::Tga,
                        "TGA: unsupported image type 10 with 12 bits"},
        SmallHeaderCase{"PcxInvertedWindow",
                        ByteWriter().U8(0x0A).U8(5).U8(1).U8(8).LE16(5).LE16(0).LE16(2).LE16(0).Fill(53, 0).U8(1).LE16(4).Fill(60, 0).Fill(8, 0).Get(),
                        ImageFormat::Pcx, "PCX: invalid image window (5, 0) to (2, 0)"},
        SmallHeaderCase{"TgaMappedWithoutMap", ByteWriter().Append(TgaHeader(1, 4, 4, 8)).Fill(16, 0).Get(), ImageFormat::Tga,
                        "TGA: colour-mapped image without colour map"},
        SmallHeaderCase{"PcxRleBomb",
                        ByteWriter().U8(0x0A).U8(5).U8(1).U8(8).LE16(0).LE16(0).LE16(8999).LE16(8999).Fill(53, 0).U8(3).LE16(9000).Fill(60, 0).U8(0xFF).U8(7).Get(),
                        ImageFormat::Pcx, "PCX: image data truncated"},
        SmallHeaderCase{"PcxShortLines",
                        ByteWriter().U8(0x0A).U8(5).U8(1).U8(8).LE16(0).LE16(0).LE16(99).LE16(0).Fill(53, 0).U8(1).LE16(10).Fill(60, 0).Get(),
                        ImageFormat::Pcx, "PCX: scan line shorter than the image"},
        SmallHeaderCase{"RasMapOutsideTheFile",
                        ByteWriter().BE32(0x59A66A95).BE32(2).BE32(2).BE32(8).BE32(0).BE32(1).BE32(1).BE32(768).Fill(4, 0).Get(),
                        ImageFormat::Ras, "Sun raster: colour map outside the file"},
        SmallHeaderCase{"RasRleBomb",
                        ByteWriter().BE32(0x59A66A95).BE32(16000).BE32(16000).BE32(8).BE32(0).BE32(2).BE32(0).BE32(0).U8(0x80).U8(0xFF).U8(1).Get(),
                        ImageFormat::Ras, "Sun raster: image data truncated"},
        SmallHeaderCase{"PgxTooDeep", ByteWriter().Text("PG ML +17 2 2\n").Fill(8, 0).Get(), ImageFormat::Pgx,
                        "PGX: depth of 17 bits is not supported"},
        SmallHeaderCase{"WbmpExtensionHeaders", Bytes{0, 0x80, 2, 2, 0xFF, 0xFF}, ImageFormat::Wbmp,
                        "WBMP: not a type 0 wireless bitmap"},
        SmallHeaderCase{"SkaTruncated", ByteWriter().LE16(100).LE16(100).U8(3).LE32(0).Fill(800, 1).Get(), ImageFormat::Ska,
                        "SKA: file truncated"},
        SmallHeaderCase{"Jbig", Bytes(64, 0x55), ImageFormat::Jbig, "Decode: Unknown or wrong format"},
        // OpenJPEG would lay out every tile before reading any data.
        SmallHeaderCase{"J2kMillionsOfTiles", CodeStreamHeader(4000, 4000, 1, 1), ImageFormat::J2k, "JPEG 2000: more than 65535 tiles"},
        SmallHeaderCase{"J2kHugeImage", CodeStreamHeader(0x40000008, 8, 0xA500, 8), ImageFormat::J2k, "JPEG 2000: image too large (1073741832 x 8)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MngDecoderTest, ChunkDamageIsCaughtBeforeTheLibrary) {
  const CxImage picture = fixtures::MakeColorImage(10, 6);
  Bytes file = fixtures::WriteMng(picture);
  Bytes badCrc = file;
  badCrc[8 + 8 + 28] ^= 0x01;  // MHDR's CRC
  EXPECT_EQ(DecodeError(badCrc, ImageFormat::Mng), "MNG: chunk CRC mismatch");
  EXPECT_EQ(DecodeError(Bytes(file.begin(), file.end() - 12), ImageFormat::Mng), "MNG: file truncated");
  EXPECT_EQ(DecodeError(file, ImageFormat::Mng, 1), "Error: frame not present in MNG file");
}

void AppendChunk(ByteWriter& out, const char* type, const Bytes& data) {
  Bytes typeAndData(type, type + 4);
  typeAndData.insert(typeAndData.end(), data.begin(), data.end());
  out.BE32(static_cast<uint32_t>(data.size())).Append(typeAndData);
  out.BE32(static_cast<uint32_t>(crc32(0, typeAndData.data(), static_cast<uInt>(typeAndData.size()))));
}

CxImage Uniform(RgbQuad color) {
  CxImage image;
  image.Create(6, 4, 24);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 6; ++x) fixtures::SetColor(image, x, y, color);
  return image;
}

TEST(MngDecoderTest, AnAnimationGivesItsFirstFrameEvenWhenItLoopsForEver) {
  const Bytes red = fixtures::Encoded(Uniform(MakeRgb(255, 0, 0)), ImageFormat::Png);
  const Bytes blue = fixtures::Encoded(Uniform(MakeRgb(0, 0, 255)), ImageFormat::Png);
  ByteWriter out;
  out.Append({0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
  AppendChunk(out, "MHDR", ByteWriter().BE32(6).BE32(4).BE32(1000).BE32(0).BE32(2).BE32(0).BE32(0).Get());
  AppendChunk(out, "LOOP", ByteWriter().U8(0).U8(0).BE32(0x7FFFFFFF).Get());
  out.Append(Bytes(red.begin() + 8, red.end()));  // the PNG chunks without the signature
  out.Append(Bytes(blue.begin() + 8, blue.end()));
  AppendChunk(out, "ENDL", {0});
  AppendChunk(out, "MEND", {});
  CxImage image;
  ASSERT_TRUE(image.Decode(out.Get(), ImageFormat::Mng)) << image.GetLastError();
  EXPECT_EQ(fixtures::PixelAt(image, 3, 2), MakeRgb(255, 0, 0));
}

TEST(MngDecoderTest, HugeHeaderIsRefused) {
  ByteWriter out;
  out.Append({0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
  ByteWriter chunk;
  chunk.Text("MHDR").BE32(100000).BE32(100000).Fill(20, 0);
  out.BE32(28).Append(chunk.Get()).BE32(static_cast<uint32_t>(crc32(0, chunk.Get().data(), 32)));
  ByteWriter end;
  end.Text("MEND");
  out.BE32(0).Append(end.Get()).BE32(static_cast<uint32_t>(crc32(0, end.Get().data(), 4)));
  EXPECT_EQ(DecodeError(out.Get(), ImageFormat::Mng), "MNG: image too large (100000 x 100000)");
}

TEST(MetafileTest, RecognisedAndRefusedWithAClearText) {
  const Bytes placeable = ByteWriter().LE32(0x9AC6CDD7).Fill(40, 0).Get();
  const Bytes plain = ByteWriter().LE16(1).LE16(9).LE16(0x0300).Fill(30, 0).Get();
  const Bytes emf = ByteWriter().LE32(1).LE32(88).Fill(32, 0).Text(" EMF").Fill(60, 0).Get();
  for (const Bytes& file : {placeable, plain, emf})
    EXPECT_EQ(DecodeError(file, ImageFormat::Unknown), "WMF: metafiles (WMF, EMF) cannot be rendered on this platform");
}

TEST(Jpeg2000DecoderTest, CutCodeStreamIsAnErrorEvenWhereOpenJpegWouldDecode) {
  const CxImage picture = fixtures::MakeColorImage(32, 32);
  const Bytes jp2 = fixtures::WriteJpeg2000(picture, true);
  const Bytes j2k = fixtures::WriteJpeg2000(picture, false);
  EXPECT_EQ(DecodeError(Bytes(jp2.begin(), jp2.end() - 40), ImageFormat::Jp2), "JPEG 2000: code stream truncated");
  EXPECT_EQ(DecodeError(Bytes(j2k.begin(), j2k.end() - 2), ImageFormat::Unknown), "JPEG 2000: code stream truncated");
}

TEST(RawDecoderTest, NonRawDataFailsCleanly) {
  Bytes noise(20000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  const std::string error = DecodeError(noise, ImageFormat::Raw);
  EXPECT_EQ(error.rfind("RAW: ", 0), 0u) << error;
  EXPECT_EQ(DecodeError(Bytes(100, 1), ImageFormat::Raw), "RAW: file too small for camera raw data");
}

}  // namespace
