#pragma once

#include <cstdint>
#include <optional>

// Size arithmetic for everything that allocates pixels from numbers found in a file.
// Every decoder checks its dimensions here before it allocates anything.
namespace imaging {

// The largest pixel data one image may hold: 2^31 bits (256 MiB).
inline constexpr uint64_t kMaxPixelBits = uint64_t{1} << 31;

// Products and sums that report overflow instead of wrapping.
std::optional<uint64_t> CheckedMul(uint64_t a, uint64_t b);
std::optional<uint64_t> CheckedMul(uint64_t a, uint64_t b, uint64_t c);
std::optional<uint64_t> CheckedAdd(uint64_t a, uint64_t b);

// The depth an image of `bpp` bits per pixel is stored with: 1, 4, 8 or 24.
uint32_t NormalizedBpp(uint32_t bpp);

// True when width x height pixels of `bpp` bits (normalised first) stay within kMaxPixelBits.
bool WithinImageLimit(uint64_t width, uint64_t height, uint32_t bpp);

// A decompression bomb guard: images up to kBombFloorBytes of pixel data are always
// plausible; larger ones need at least one byte of file per kMaxExpansion bytes of pixels.
// Real codecs stay well inside that (deflate cannot pass about 1:1032, a blank page in JPEG
// is about 1:250), while a hundred bytes claiming a quarter of a gigabyte do not.
inline constexpr uint64_t kBombFloorBytes = uint64_t{64} << 20;
inline constexpr uint64_t kMaxExpansion = 4096;
bool PlausibleForFile(uint64_t width, uint64_t height, uint32_t bpp, uint64_t fileBytes);

// True when a scratch buffer of `bytes` may be allocated for decoding: the same budget as
// the pixel data, so a decoder never needs much more memory than the image it produces.
bool WithinScratchLimit(uint64_t bytes);

}  // namespace imaging
