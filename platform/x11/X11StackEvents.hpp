#pragma once
#include <X11/Xlib.h>

#include <chrono>
#include <mutex>

// Waits for the stacking of top-level windows to change: maps, unmaps, moves and
// restacks of the root's children, on a connection of its own so that no other
// reader of the shared connection sees these events.
class X11StackEvents {
 public:
  X11StackEvents() = default;
  ~X11StackEvents();
  X11StackEvents(const X11StackEvents&) = delete;
  X11StackEvents& operator=(const X11StackEvents&) = delete;

  // Returns after the next change or the timeout; false when no connection could be made.
  bool wait(std::chrono::milliseconds timeout);

 private:
  std::mutex lock_;  // guards display_
  Display* display_ = nullptr;
};
