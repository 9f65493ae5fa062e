#include "twain/transfers/NativeBitmap.h"

#include <cstring>

#include "imaging/CxImage.h"
#include "platform/GlobalMemory.h"

void* CopyBitmapForApplication(const CxImage& image) {
  if (!image.IsValid()) return nullptr;
  void* block = platform::GlobalAllocZeroed(image.GetSize());
  if (block == nullptr) return nullptr;
  std::memcpy(block, image.GetDIB(), image.GetSize());
  return block;
}
