#pragma once

// The pixel kernels have SSSE3/AVX2 versions chosen at run time on x86-64; the build targets the
// baseline instruction set, so every other machine takes the portable loops.
#if defined(__x86_64__) && defined(__GNUC__)
#define VELLORAN_X86_SIMD 1
#else
#define VELLORAN_X86_SIMD 0
#endif

namespace imaging {

bool CpuHasSsse3();
bool CpuHasAvx2();

}  // namespace imaging
