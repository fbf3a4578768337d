#include "platform/sim/SimClock.hpp"

double SimClock::now() {
  std::lock_guard guard(model_.lock);
  return model_.now;
}

void SimClock::sleep(double seconds) {
  std::vector<std::function<void()>> due;
  {
    std::lock_guard guard(model_.lock);
    due = model_.advance(seconds);
  }
  for (auto& action : due) action();  // the user acts outside the lock, as effects do
}
