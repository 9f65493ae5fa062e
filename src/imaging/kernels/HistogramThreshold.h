#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging {

// Threshold methods over a 256-bin gray-level histogram. Method 1 Otsu (largest between-class
// separation), 2 minimum error (Kittler-Illingworth), 3 maximum entropy (Kapur), 4 potential
// difference, 0 (and any other value) the mean of those that find a threshold.
//
// Every candidate t splits the occupied range [gmin, gmax] into [gmin, t] and [t + 1, gmax];
// the class sums are running prefix sums, so one pass over the range evaluates all methods.
// Logarithms of counts come from a table built once for the largest count expected.
class HistogramThreshold {
 public:
  // Counts up to `maxCount` (capped at 65536) take their logarithms from the table.
  explicit HistogramThreshold(uint64_t maxCount);

  // The threshold, or -1 when the histogram is empty. A single occupied level g gives g - 1
  // (0 for level 0); a result not strictly inside (gmin, gmax) becomes (gmin + gmax) / 2.
  int32_t Compute(const uint32_t* histogram, int32_t method) const;

 private:
  double Log(uint64_t n) const;
  double CountLogCount(uint64_t n) const;

  std::vector<double> logs_;
};

}  // namespace imaging
