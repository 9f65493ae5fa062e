#pragma once

// The body of every single-decoder fuzz target: create the decoder, decode its frames (the
// first few of a multi-frame file), ignore the outcome. Crashes, hangs and sanitizer reports
// are the findings.

#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/codecs/DecoderTable.h"

inline int FuzzDecoder(uint32_t formatId, const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const imaging::DecoderEntry* entry = imaging::DecoderFor(formatId);
  (void)entry->sniff(bytes);
  auto decoder = entry->create(bytes);
  if (decoder.IsError()) return 0;
  const int32_t frames = decoder.Value()->FrameCount();
  for (int32_t i = 0; i < frames && i < 4; ++i) (void)decoder.Value()->Frame(i);
  return 0;
}
