#pragma once
#include "kit/platform/Clock.hpp"
#include "platform/sim/SimModel.hpp"

// Virtual time: a sleep advances it at once, so waits of seconds cost nothing.
class SimClock : public Clock {
 public:
  explicit SimClock(SimModel& model) : model_(model) {}

  double now() override;
  void sleep(double seconds) override;

 private:
  SimModel& model_;
};
