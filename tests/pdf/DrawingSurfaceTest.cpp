// The platform's bitmap sections and memory device contexts, which the PDF library draws into.

#include "platform/Bitmap.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <utility>

namespace {

using platform::BitmapSection;
using platform::LastDrawingError;
using platform::MemoryDeviceContext;

TEST(BitmapSectionTest, TopDownSectionHasPaddedRowsAndANegativeHeight) {
  BitmapSection bitmap = BitmapSection::Create(1001, -3, 24);
  ASSERT_TRUE(bitmap.IsValid());
  const DplBitmapInfoHeader& header = bitmap.Header();
  EXPECT_EQ(header.size, 40u);
  EXPECT_EQ(header.width, 1001);
  EXPECT_EQ(header.height, -3);
  EXPECT_EQ(header.planes, 1);
  EXPECT_EQ(header.bitCount, 24);
  EXPECT_EQ(header.compression, DPL_BI_RGB);
  EXPECT_EQ(bitmap.Stride(), 3004u);  // ((1001 x 24 + 31) >> 5) x 4
  EXPECT_EQ(header.sizeImage, 3004u * 3);
  EXPECT_EQ(bitmap.Handle()->bytes, 3004u * 3);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_TRUE(bitmap.IsTopDown());
  EXPECT_EQ(bitmap.PictureRow(0), bitmap.Bits());
  EXPECT_EQ(bitmap.PictureRow(3), nullptr);

  BitmapSection bottomUp = BitmapSection::Create(2, 3, 32);
  ASSERT_TRUE(bottomUp.IsValid());
  EXPECT_EQ(bottomUp.Stride(), 8u);
  EXPECT_EQ(bottomUp.PictureRow(0), bottomUp.Bits() + 2 * 8);
}

struct RefusedSection {
  const char* name;
  int32_t width;
  int32_t height;
  uint16_t bitCount;
  int error;
};

class RefusedSectionTest : public ::testing::TestWithParam<RefusedSection> {};

TEST_P(RefusedSectionTest, IsInvalidWithTheReason) {
  const BitmapSection bitmap = BitmapSection::Create(GetParam().width, GetParam().height, GetParam().bitCount);
  EXPECT_FALSE(bitmap.IsValid());
  EXPECT_EQ(LastDrawingError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RefusedSectionTest,
                         ::testing::ValuesIn(std::vector<RefusedSection>{
                             {"ZeroWidth", 0, -10, 24, EINVAL},
                             {"NegativeWidth", -5, 10, 24, EINVAL},
                             {"ZeroHeight", 10, 0, 24, EINVAL},
                             {"SmallestHeight", 10, INT32_MIN, 24, EINVAL},
                             {"PaletteDepth", 10, 10, 8, EINVAL},
                             {"OverTheBudget", 20000, -20000, 24, ENOMEM},
                             {"LargestSize", INT32_MAX, INT32_MAX, 32, ENOMEM}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MemoryDeviceContextTest, SelectionFollowsTheLifetimesOfBothSides) {
  MemoryDeviceContext context = MemoryDeviceContext::CreateCompatible();
  ASSERT_TRUE(context.IsValid());
  EXPECT_EQ(context.Handle()->size, sizeof(DplDeviceContext));
  EXPECT_EQ(context.Handle()->selected, nullptr);

  BitmapSection kept = BitmapSection::Create(4, -4, 24);
  {
    BitmapSection first = BitmapSection::Create(4, -4, 24);
    ASSERT_TRUE(context.Select(first));
    EXPECT_EQ(context.Handle()->selected, first.Handle());
    // A section moved elsewhere stays selected: its address does not change.
    BitmapSection moved = std::move(first);
    EXPECT_EQ(context.Handle()->selected, moved.Handle());
  }
  // The section died: the context no longer points at it.
  EXPECT_EQ(context.Handle()->selected, nullptr);

  ASSERT_TRUE(context.Select(kept));
  MemoryDeviceContext other = MemoryDeviceContext::CreateCompatible();
  EXPECT_FALSE(other.Select(kept));
  EXPECT_EQ(LastDrawingError(), EBUSY);
  BitmapSection invalid;
  EXPECT_FALSE(other.Select(invalid));
  EXPECT_EQ(LastDrawingError(), EINVAL);

  // Once its context is gone the section may be selected elsewhere.
  context = MemoryDeviceContext();
  EXPECT_TRUE(other.Select(kept));
  EXPECT_EQ(other.Handle()->selected, kept.Handle());
}

}  // namespace
