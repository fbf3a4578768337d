#pragma once

// Time for every wait in the system, so that a simulated desktop can make seconds free.
class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic seconds.
  virtual double now() = 0;
  virtual void sleep(double seconds) = 0;
};

// The machine's own clock.
class SystemClock : public Clock {
 public:
  double now() override;
  void sleep(double seconds) override;
};
