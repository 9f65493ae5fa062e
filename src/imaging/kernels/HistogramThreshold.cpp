#include "imaging/kernels/HistogramThreshold.h"

#include <cmath>
#include <limits>

namespace imaging {
namespace {

constexpr uint64_t kMaxTable = uint64_t{1} << 16;

enum Method : int32_t { kMean = 0, kOtsu = 1, kMinimumError = 2, kMaximumEntropy = 3, kPotentialDifference = 4 };

}  // namespace

HistogramThreshold::HistogramThreshold(uint64_t maxCount) {
  const uint64_t size = (maxCount < kMaxTable ? maxCount : kMaxTable) + 1;
  logs_.resize(size);
  logs_[0] = 0;
  for (uint64_t n = 1; n < size; ++n) logs_[n] = std::log(static_cast<double>(n));
}

double HistogramThreshold::Log(uint64_t n) const {
  return n < logs_.size() ? logs_[n] : std::log(static_cast<double>(n));
}

double HistogramThreshold::CountLogCount(uint64_t n) const { return n == 0 ? 0.0 : static_cast<double>(n) * Log(n); }

int32_t HistogramThreshold::Compute(const uint32_t* h, int32_t method) const {
  int32_t gmin = 0;
  while (gmin < 256 && h[gmin] == 0) ++gmin;
  if (gmin == 256) return -1;
  int32_t gmax = 255;
  while (h[gmax] == 0) --gmax;
  if (gmin == gmax) return gmin == 0 ? 0 : gmax - 1;
  if (method < kMean || method > kPotentialDifference) method = kMean;

  const bool otsu = method == kMean || method == kOtsu;
  const bool minimumError = method == kMean || method == kMinimumError;
  const bool maximumEntropy = method == kMean || method == kMaximumEntropy;
  const bool potential = method == kMean || method == kPotentialDifference;

  // Whole-range sums: count, first and second moments, and sum of h log h for the entropy.
  uint64_t n = 0, s = 0, q = 0;
  double e = 0;
  for (int32_t k = gmin; k <= gmax; ++k) {
    n += h[k];
    s += uint64_t{h[k]} * k;
    q += uint64_t{h[k]} * k * k;
    if (maximumEntropy) e += CountLogCount(h[k]);
  }

  constexpr double kLowest = -std::numeric_limits<double>::infinity();
  double bestOtsu = kLowest, bestMinimumError = kLowest, bestEntropy = kLowest;
  double bestPotential = std::numeric_limits<double>::infinity();
  int32_t tOtsu = -1, tMinimumError = -1, tEntropy = -1, tPotential = -1;

  uint64_t n0 = 0, s0 = 0, q0 = 0;
  double e0 = 0;
  for (int32_t t = gmin; t < gmax; ++t) {
    n0 += h[t];
    s0 += uint64_t{h[t]} * t;
    q0 += uint64_t{h[t]} * t * t;
    const uint64_t n1 = n - n0, s1 = s - s0, q1 = q - q0;
    // An empty level leaves both classes as they were: the class-statistics criteria repeat
    // the previous candidate's value, which never wins a tie.
    const bool sameClasses = h[t] == 0;

    if (otsu && !sameClasses) {
      // Between-class separation n0 n1 (m0 - m1)^2 = (s0 n1 - s1 n0)^2 / (n0 n1).
      const auto d = static_cast<double>(static_cast<__int128>(s0) * n1 - static_cast<__int128>(s1) * n0);
      const double separation = d * d / (static_cast<double>(n0) * static_cast<double>(n1));
      if (separation > bestOtsu) {
        bestOtsu = separation;
        tOtsu = t;
      }
    }
    if (minimumError && !sameClasses) {
      // Sum of P log(P / sigma) over both classes, times N, without its constant part; the
      // class variance is V / n^2 with V = q n - s^2, exact in integers.
      const __int128 v0 = static_cast<__int128>(q0) * n0 - static_cast<__int128>(s0) * s0;
      const __int128 v1 = static_cast<__int128>(q1) * n1 - static_cast<__int128>(s1) * s1;
      if (v0 > 0 && v1 > 0) {
        const double criterion = 2 * CountLogCount(n0) - 0.5 * static_cast<double>(n0) * std::log(static_cast<double>(v0)) +
                                 2 * CountLogCount(n1) - 0.5 * static_cast<double>(n1) * std::log(static_cast<double>(v1));
        if (criterion > bestMinimumError) {
          bestMinimumError = criterion;
          tMinimumError = t;
        }
      }
    }
    if (maximumEntropy && !sameClasses) {
      e0 += CountLogCount(h[t]);
      // Entropy of a class's own distribution h / n: log n - (sum h log h) / n.
      const double entropy = Log(n0) - e0 / static_cast<double>(n0) + Log(n1) - (e - e0) / static_cast<double>(n1);
      if (entropy > bestEntropy) {
        bestEntropy = entropy;
        tEntropy = t;
      }
    }
    if (potential) {
      const auto tt = static_cast<int64_t>(t);
      const int64_t below = tt * tt * static_cast<int64_t>(n0) - 2 * tt * static_cast<int64_t>(s0) + static_cast<int64_t>(q0);
      const int64_t above = static_cast<int64_t>(q1) - 2 * tt * static_cast<int64_t>(s1) + tt * tt * static_cast<int64_t>(n1);
      const int64_t sum = below + above;
      if (sum > 0) {
        const double difference = static_cast<double>(below > above ? below - above : above - below) / static_cast<double>(sum);
        if (difference < bestPotential) {
          bestPotential = difference;
          tPotential = t;
        }
      }
    }
  }

  int32_t result = -1;
  switch (method) {
    case kOtsu: result = tOtsu; break;
    case kMinimumError: result = tMinimumError; break;
    case kMaximumEntropy: result = tEntropy; break;
    case kPotentialDifference: result = tPotential; break;
    default: {
      int32_t sum = 0, count = 0;
      for (const int32_t r : {tOtsu, tMinimumError, tEntropy, tPotential}) {
        if (r < 0) continue;
        sum += r;
        ++count;
      }
      result = count > 0 ? sum / count : (gmin + gmax) / 2;
      break;
    }
  }
  if (result <= gmin || result >= gmax) result = (gmin + gmax) / 2;
  return result;
}

}  // namespace imaging
