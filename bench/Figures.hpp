#pragma once
// The figures the benchmarks print.
#include <algorithm>
#include <chrono>
#include <vector>

namespace Figures {

using Steady = std::chrono::steady_clock;

inline double millisecondsSince(Steady::time_point start) {
  return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// The value below which this share of the values lie (0.5 for the median).
inline double percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

}  // namespace Figures
