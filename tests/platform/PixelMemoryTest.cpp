#include "platform/PixelMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kPage = 25'245'000;  // a 24-bit letter page at 300 dpi

bool AllZero(const uint8_t* data, size_t bytes) {
  return std::all_of(data, data + bytes, [](uint8_t byte) { return byte == 0; });
}

class PixelMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::PixelMemoryRecyclesPages()) GTEST_SKIP() << "every block comes from the heap in this build";
    platform::ReleaseSparePixelMemory();
  }
  void TearDown() override { platform::ReleaseSparePixelMemory(); }
};

TEST_F(PixelMemoryTest, FreedPageBlockIsReusedZeroedByTheNextPage) {
  platform::PixelMemory first = platform::AllocatePixelMemory(kPage);
  ASSERT_NE(first.data, nullptr);
  EXPECT_GE(first.mapped, kPage);
  std::memset(first.data, 0xA5, kPage);
  platform::FreePixelMemory(first);
  EXPECT_EQ(platform::SparePixelMemoryBytes(), first.mapped);

  const platform::PixelMemory second = platform::AllocatePixelMemory(kPage - 1000);
  EXPECT_EQ(second.data, first.data);
  EXPECT_TRUE(AllZero(second.data, kPage - 1000));
  EXPECT_EQ(platform::SparePixelMemoryBytes(), 0u);
  platform::FreePixelMemory(second);
}

TEST_F(PixelMemoryTest, SpareThatWouldWasteMostOfItselfOrIsTooSmallIsNotHandedOut) {
  const platform::PixelMemory page = platform::AllocatePixelMemory(kPage);
  platform::FreePixelMemory(page);
  const platform::PixelMemory small = platform::AllocatePixelMemory(4 << 20);
  const platform::PixelMemory large = platform::AllocatePixelMemory(2 * kPage);
  EXPECT_NE(small.data, page.data);
  EXPECT_NE(large.data, page.data);
  EXPECT_EQ(platform::SparePixelMemoryBytes(), page.mapped);
  EXPECT_TRUE(AllZero(large.data, 2 * kPage));
  platform::FreePixelMemory(small);
  platform::FreePixelMemory(large);
  // Only one block is kept; the others went back to the system.
  EXPECT_EQ(platform::SparePixelMemoryBytes(), page.mapped);
  platform::ReleaseSparePixelMemory();
  EXPECT_EQ(platform::SparePixelMemoryBytes(), 0u);
}

TEST_F(PixelMemoryTest, SmallBlocksComeFromTheHeapAndAreNotKept) {
  const platform::PixelMemory small = platform::AllocatePixelMemory(1000);
  ASSERT_NE(small.data, nullptr);
  EXPECT_EQ(small.mapped, 0u);
  EXPECT_TRUE(AllZero(small.data, 1000));
  platform::FreePixelMemory(small);
  EXPECT_EQ(platform::SparePixelMemoryBytes(), 0u);
  platform::FreePixelMemory({});  // nothing to free
}

}  // namespace
