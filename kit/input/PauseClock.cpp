#include "kit/input/PauseClock.hpp"

namespace PauseClock {
namespace {
thread_local double paused = 0;
}

double total() { return paused; }
void add(double seconds) { paused += seconds; }

}  // namespace PauseClock
