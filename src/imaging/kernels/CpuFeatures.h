#pragma once

// The pixel kernels have SSSE3/AVX2 versions chosen at run time on x86-64; the build targets the
// baseline instruction set, so every other machine takes the portable loops.
#if defined(__x86_64__) && defined(__GNUC__)
#define VELLORAN_X86_SIMD 1
#else
#define VELLORAN_X86_SIMD 0
#endif

namespace imaging {

// The vector versions a kernel may choose: those the processor has, up to the ceiling.
bool CpuHasSsse3();
bool CpuHasAvx2();

// Lowers (or restores) the ceiling, so that tests can run every version of the kernels on one
// machine and compare their results. Not meant to change while operations run.
enum class SimdLevel { kPortable = 0, kSsse3 = 1, kAvx2 = 2 };
void SetSimdCeiling(SimdLevel level);
SimdLevel SimdCeiling();

}  // namespace imaging
