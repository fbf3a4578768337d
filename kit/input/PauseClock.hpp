#pragma once

// Seconds the calling thread has spent waiting for the user, so that timed playback
// shifts its schedule instead of rushing to catch up. Per thread: one agent's waits
// never shift another agent's schedule.
namespace PauseClock {

double total();
void add(double seconds);

// Timed playback from the moment it is made: each event waits for its time (seconds
// from the start), shifted by what this thread has since waited for the user.
class Schedule {
 public:
  Schedule();
  double start() const { return start_; }  // Clock seconds
  void waitFor(double time) const;

 private:
  double start_;
  double pausedAtStart_;
};

}  // namespace PauseClock
