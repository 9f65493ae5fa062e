#pragma once

namespace twacquire {

// The largest resident set of this process so far, in megabytes (10^6 bytes).
double PeakMemoryMegabytes();

}  // namespace twacquire
