#pragma once

// Seconds the calling thread has spent waiting for the user, so that timed playback
// shifts its schedule instead of rushing to catch up. Per thread: one agent's waits
// never shift another agent's schedule.
namespace PauseClock {

double total();
void add(double seconds);

}  // namespace PauseClock
