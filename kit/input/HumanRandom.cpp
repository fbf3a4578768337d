#include "kit/input/HumanRandom.hpp"

#include <sys/random.h>

#include <cmath>
#include <cstdint>
#include <random>

namespace HumanRandom {
namespace {

constexpr uint64_t span = uint64_t{1} << 53;

uint64_t bits() {
  uint64_t value = 0;
  if (getrandom(&value, sizeof value, 0) == sizeof value) return value;
  static thread_local std::random_device fallback;  // getrandom fails only without entropy at boot
  return (uint64_t{fallback()} << 32) | fallback();
}

}  // namespace

double uniform(double a, double b) {
  uint64_t k = bits() % (span + 1);  // 0 ... 2^53 inclusive
  return a + (b - a) * static_cast<double>(k) / static_cast<double>(span);
}

double uniformOpen(double a, double b) {
  uint64_t k = bits() % span;
  return a + (b - a) * static_cast<double>(k) / static_cast<double>(span);
}

bool chance(double p) { return uniformOpen(0, 1) < p; }

}  // namespace HumanRandom

namespace HumanTiming {

double micros(double a, double b) { return std::floor(HumanRandom::uniform(a, b) * 1e6) / 1e6; }

}  // namespace HumanTiming
