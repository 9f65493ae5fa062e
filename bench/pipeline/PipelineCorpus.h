#pragma once

// The benchmark's folders of pages, made the same way on every run: twenty US Letter pages at
// 300 dpi (2550 x 3300 pixels) of text-like strokes on tinted paper with a coloured stamp, once
// as colour JPEG files and once as black-and-white TIFF G4 files.

#include <cstdint>
#include <string>

namespace bench_pipeline {

inline constexpr uint32_t kPageWidth = 2550;
inline constexpr uint32_t kPageHeight = 3300;
inline constexpr int32_t kPageDpi = 300;
inline constexpr int kPageCount = 20;

// Writes the pages into `folder` (created, with a trailing "/"), as JPEG or as TIFF G4.
void WriteCorpus(const std::string& folder, bool bilevelTiff);

}  // namespace bench_pipeline
