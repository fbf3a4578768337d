#include "platform/sim/SimClock.hpp"

double SimClock::now() {
  std::lock_guard guard(model_.lock);
  return model_.now;
}

void SimClock::sleep(double seconds) {
  std::lock_guard guard(model_.lock);
  if (seconds > 0) model_.now += seconds;
}
