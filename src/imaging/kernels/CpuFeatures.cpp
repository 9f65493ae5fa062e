#include "imaging/kernels/CpuFeatures.h"

namespace imaging {

#if VELLORAN_X86_SIMD
bool CpuHasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}
bool CpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#else
bool CpuHasSsse3() { return false; }
bool CpuHasAvx2() { return false; }
#endif

}  // namespace imaging
