#include "imaging/kernels/CpuFeatures.h"

#include <atomic>

namespace imaging {
namespace {

constinit std::atomic<int> ceiling{static_cast<int>(SimdLevel::kAvx2)};

bool Allowed(SimdLevel level) { return ceiling.load(std::memory_order_relaxed) >= static_cast<int>(level); }

}  // namespace

#if VELLORAN_X86_SIMD
bool CpuHasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has && Allowed(SimdLevel::kSsse3);
}
bool CpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  return has && Allowed(SimdLevel::kAvx2);
}
#else
bool CpuHasSsse3() { return false; }
bool CpuHasAvx2() { return false; }
#endif

void SetSimdCeiling(SimdLevel level) { ceiling.store(static_cast<int>(level), std::memory_order_relaxed); }

SimdLevel SimdCeiling() { return static_cast<SimdLevel>(ceiling.load(std::memory_order_relaxed)); }

}  // namespace imaging
