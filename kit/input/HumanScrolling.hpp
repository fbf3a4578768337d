#pragma once
#include <cstdint>
#include <vector>

// Wheel events shaped like a trackpad swipe: a quick rise, then a momentum tail; long
// distances as several swipes with short pauses between.
struct ScrollStep {
  double time = 0;    // seconds from the start of the scroll
  int64_t delta = 0;  // whole points, positive
};

namespace HumanScrolling {

// The schedule for `distance` points; the deltas add up to it.
std::vector<ScrollStep> steps(int64_t distance);
// One swipe of `distance` points starting at `startTime`.
std::vector<ScrollStep> swipe(int64_t distance, double startTime);

}  // namespace HumanScrolling
