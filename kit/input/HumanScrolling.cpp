#include "kit/input/HumanScrolling.hpp"

#include <algorithm>
#include <cmath>

#include "kit/input/HumanRandom.hpp"

namespace HumanScrolling {
namespace {

// Momentum falls to 3 % of its peak after this many time constants.
constexpr double tailConstants = 3.506557897319982;

}  // namespace

std::vector<ScrollStep> steps(int64_t distance) {
  std::vector<ScrollStep> all;
  double t = 0;
  while (distance >= 1) {
    const auto chunk = int64_t(std::floor(HumanRandom::uniform(450, 1000.999)));
    const int64_t covered = distance - chunk > 149 ? chunk : distance;
    auto one = swipe(covered, t);
    if (!one.empty()) t = one.back().time;
    all.insert(all.end(), one.begin(), one.end());
    distance -= covered;
    if (distance >= 1) t += HumanRandom::uniform(0.06, 0.22);
  }
  return all;
}

std::vector<ScrollStep> swipe(int64_t distance, double startTime) {
  const double a = HumanRandom::uniform(0.07, 0.15), tau = HumanRandom::uniform(0.14, 0.26);
  const double total = a + tailConstants * tau;
  const double pi = std::acos(-1.0);
  // Travelled fraction: a quarter sine up to the peak velocity, then exponential decay.
  auto travelled = [&](double t) {
    if (t <= a) return (2 * a / pi) * (1 - std::cos(pi * t / (2 * a)));
    return 2 * a / pi + tau * (1 - std::exp(-(t - a) / tau));
  };
  const double whole = travelled(total);
  std::vector<ScrollStep> result;
  double t = 0, unclamped = 0;
  int64_t emitted = 0;
  while (unclamped < total) {
    const double dt = t < a ? HumanRandom::uniform(0.007, 0.012) : HumanRandom::uniform(0.014, 0.018);
    unclamped = t + dt;
    t = std::min(unclamped, total);
    const auto position = t >= total ? distance : int64_t(std::floor(travelled(t) * double(distance) / whole));
    if (position > emitted) {
      result.push_back({startTime + t, position - emitted});
      emitted = position;
    }
  }
  return result;
}

}  // namespace HumanScrolling
