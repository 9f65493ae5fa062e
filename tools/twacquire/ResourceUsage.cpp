#include "ResourceUsage.h"

#include <sys/resource.h>

namespace twacquire {

double PeakMemoryMegabytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;  // ru_maxrss is in KiB
}

}  // namespace twacquire
