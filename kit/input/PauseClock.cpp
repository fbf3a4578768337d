#include "kit/input/PauseClock.hpp"

#include "kit/platform/Desktop.hpp"

namespace PauseClock {
namespace {
thread_local double paused = 0;
}

double total() { return paused; }
void add(double seconds) { paused += seconds; }

Schedule::Schedule() : start_(Platform::clock().now()), pausedAtStart_(total()) {}

void Schedule::waitFor(double time) const {
  Clock& clock = Platform::clock();
  const double wait = start_ + time + total() - pausedAtStart_ - clock.now();
  if (wait > 0) clock.sleep(wait);
}

}  // namespace PauseClock
