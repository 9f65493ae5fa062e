#include <gtest/gtest.h>

#include <cstdint>

#include "imaging/CxImage.h"
#include "imaging/ImageFixtures.h"
#include "platform/Bitmap.h"

namespace {

// A section of `width` x `height` pixels, filled with 0x77 so that unpainted pixels show.
struct Canvas {
  Canvas(int32_t width, int32_t height, uint16_t bits)
      : section(platform::BitmapSection::Create(width, height, bits)), dc(platform::MemoryDeviceContext::CreateCompatible()) {
    std::fill(section.Bits(), section.Bits() + section.Stride() * static_cast<size_t>(section.Height()), 0x77);
    dc.Select(section);
  }
  RgbQuad At(int32_t x, int32_t y) const {
    const uint8_t* pixel = section.PictureRow(y) + static_cast<size_t>(x) * section.BitCount() / 8;
    return RgbQuad{pixel[0], pixel[1], pixel[2], 0};
  }
  platform::BitmapSection section;
  platform::MemoryDeviceContext dc;
};

bool Same(RgbQuad a, RgbQuad b) { return a.blue == b.blue && a.green == b.green && a.red == b.red; }

class PaintToTest : public ::testing::TestWithParam<int32_t> {};  // section height: top-down when negative

TEST_P(PaintToTest, StretchesEveryPixelIntoItsBlock) {
  const CxImage image = fixtures::MakeColorImage(3, 2);
  Canvas canvas(8, GetParam(), 32);
  ASSERT_TRUE(image.PaintTo(canvas.dc, ImageRect{1, 1, 7, 5}));  // 2 x 2 blocks
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      const bool inside = x >= 1 && x < 7 && y >= 1 && y < 5;
      const RgbQuad expected =
          inside ? fixtures::PixelAt(image, static_cast<uint32_t>((x - 1) / 2), static_cast<uint32_t>((y - 1) / 2))
                 : RgbQuad{0x77, 0x77, 0x77, 0};
      EXPECT_TRUE(Same(canvas.At(x, y), expected)) << "pixel " << x << ", " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(StorageOrders, PaintToTest, ::testing::Values(6, -6));

TEST(PaintToClipTest, PaletteImageShrunkAndPartlyOutsideTheBitmap) {
  CxImage image;
  ASSERT_TRUE(image.Create(4, 4, 1));
  image.SetPaletteColor(0, MakeRgb(0, 0, 0));
  image.SetPaletteColor(1, MakeRgb(255, 255, 255));
  for (uint32_t y = 0; y < 4; ++y) {
    fixtures::SetIndex(image, 2, y, 1);
    fixtures::SetIndex(image, 3, y, 1);
  }
  Canvas canvas(3, 2, 24);
  // Half size at (1, 0): the right half of the picture would fall outside the 3-pixel width.
  ASSERT_TRUE(image.PaintTo(canvas.dc, ImageRect{1, 0, 3, 2}));
  EXPECT_TRUE(Same(canvas.At(0, 0), RgbQuad{0x77, 0x77, 0x77, 0}));
  EXPECT_TRUE(Same(canvas.At(1, 1), MakeRgb(0, 0, 0)));
  EXPECT_TRUE(Same(canvas.At(2, 1), MakeRgb(255, 255, 255)));
  // Wholly outside: nothing painted, not an error.
  EXPECT_TRUE(image.PaintTo(canvas.dc, ImageRect{-10, -10, -2, -2}));
}

TEST(PaintToClipTest, RefusesWhatCannotBePainted) {
  const CxImage image = fixtures::MakeColorImage(2, 2);
  Canvas canvas(4, 4, 24);
  EXPECT_FALSE(CxImage().PaintTo(canvas.dc, ImageRect{0, 0, 4, 4}));
  EXPECT_FALSE(image.PaintTo(canvas.dc, ImageRect{2, 0, 2, 4}));
  platform::MemoryDeviceContext empty = platform::MemoryDeviceContext::CreateCompatible();
  EXPECT_FALSE(image.PaintTo(empty, ImageRect{0, 0, 4, 4}));
}

}  // namespace
