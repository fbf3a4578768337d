#pragma once

// Random draws for human-like motion and timing, from the system's cryptographic source.
namespace HumanRandom {

// Uniform in [a, b], b included.
double uniform(double a, double b);
// Uniform in [a, b).
double uniformOpen(double a, double b);
// True with probability p.
bool chance(double p);

}  // namespace HumanRandom

namespace HumanTiming {

// A uniform duration in [a, b] seconds, in whole microseconds, for sleeps.
double micros(double a, double b);

}  // namespace HumanTiming
