// Every operation gives the same pixels whichever vector version of its kernels runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/BackgroundFilter.h"
#include "imaging/ColorDetector.h"
#include "imaging/CxImage.h"
#include "imaging/kernels/CpuFeatures.h"
#include "imaging_ops/PixelFixtures.h"

using fixtures::MakeImage;
using fixtures::Rgb;
using imaging::SimdLevel;

namespace {

// A small page with every kind of pixel the kernels tell apart: tinted paper with noise,
// near-white and near-black, pure black and white, grays, strong and pale colours; 101 pixels
// wide so that every row ends in a partial block.
uint32_t MixedPixel(uint32_t x, uint32_t y) {
  const uint32_t n = (x * 7919 + y * 104729 + x * y * 31) % 997;
  if (x < 6 || x > 94) return Rgb(static_cast<uint8_t>(240 + n % 7), static_cast<uint8_t>(236 + n % 5), static_cast<uint8_t>(222 + n % 9));
  switch (n % 9) {
    case 0: return Rgb(0, 0, 0);
    case 1: return Rgb(255, 255, 255);
    case 2: return Rgb(static_cast<uint8_t>(n % 40), static_cast<uint8_t>(n % 37), static_cast<uint8_t>(n % 31));
    case 3: {
      const auto v = static_cast<uint8_t>(n % 256);
      return Rgb(v, v, static_cast<uint8_t>(v / 2 + 60));
    }
    case 4: return Rgb(static_cast<uint8_t>(180 + n % 70), static_cast<uint8_t>(n % 60), static_cast<uint8_t>(n % 90));
    case 5: return Rgb(static_cast<uint8_t>(n % 80), static_cast<uint8_t>(120 + n % 120), static_cast<uint8_t>(200 + n % 50));
    case 6: return Rgb(static_cast<uint8_t>(244 + n % 12), static_cast<uint8_t>(230 + n % 20), static_cast<uint8_t>(200 + n % 50));
    default: return Rgb(static_cast<uint8_t>(200 + n % 13), static_cast<uint8_t>(195 + n % 17), static_cast<uint8_t>(190 + n % 11));
  }
}

std::vector<uint8_t> Bytes(const CxImage& image) {
  std::vector<uint8_t> bytes(image.GetDIB(), image.GetDIB() + image.GetSize());
  return bytes;
}

// Everything one run of the operations produced, for comparison between versions.
struct Results {
  std::vector<std::vector<uint8_t>> images;
  std::vector<int> measures;
};

Results RunAll() {
  Results r;
  const CxImage page = MakeImage(101, 67, 24, MixedPixel);
  auto run = [&](auto op) {
    CxImage image = page;
    EXPECT_TRUE(op(image));
    r.images.push_back(Bytes(image));
  };
  run([](CxImage& i) { return i.ToGray(); });
  run([](CxImage& i) { return i.MirrorHorizontally(); });
  run([](CxImage& i) { return i.ToGray() && i.MirrorHorizontally(); });
  run([](CxImage& i) { return i.RotateBy(90); });
  run([](CxImage& i) { return i.RotateBy(270); });
  run([](CxImage& i) { return i.RotateBy(180); });
  run([](CxImage& i) { return i.DecreaseBpp(1, false); });
  run([](CxImage& i) { return i.AdaptiveThreshold(0, 16); });
  for (const int mode : {1, 2}) {
    BackgroundFilter filter(mode);
    const auto filtered = filter.Apply(page);
    EXPECT_TRUE(filtered.has_value());
    r.images.push_back(Bytes(*filtered));
  }
  // Mid-tone paper (threshold search) and light paper (every pixel examined).
  const CxImage midTone = MakeImage(101, 67, 24, [](uint32_t x, uint32_t y) {
    return x < 6 || x > 94 ? Rgb(150, 150, 150) : MixedPixel(x, y);
  });
  for (const CxImage* p : {&page, &midTone}) {
    ColorDetector detector;
    const auto measure = detector.Detect(*p);
    EXPECT_TRUE(measure.has_value());
    r.measures.insert(r.measures.end(), {detector.Mode(), detector.Threshold(), measure->ratio, measure->amount});
  }
  return r;
}

class KernelVersionsTest : public testing::TestWithParam<SimdLevel> {
 protected:
  void TearDown() override { imaging::SetSimdCeiling(SimdLevel::kAvx2); }
};

TEST_P(KernelVersionsTest, GiveThePortableResults) {
  imaging::SetSimdCeiling(SimdLevel::kPortable);
  const Results portable = RunAll();
  imaging::SetSimdCeiling(GetParam());
  const Results vector = RunAll();
  ASSERT_EQ(vector.images.size(), portable.images.size());
  for (size_t i = 0; i < portable.images.size(); ++i) EXPECT_EQ(vector.images[i], portable.images[i]) << "result " << i;
  EXPECT_EQ(vector.measures, portable.measures);
  // The detector must have met colour on the page, or the comparison proves little.
  EXPECT_GT(portable.measures[3], 0);
}

INSTANTIATE_TEST_SUITE_P(Levels, KernelVersionsTest, testing::Values(SimdLevel::kSsse3, SimdLevel::kAvx2),
                         [](const auto& info) { return info.param == SimdLevel::kSsse3 ? "Ssse3" : "Avx2"; });

}  // namespace
