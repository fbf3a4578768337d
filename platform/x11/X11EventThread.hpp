#pragma once
#include <X11/Xlib.h>

#include <functional>
#include <thread>

// A thread that hands every event of a connection of its own to a handler until stopped.
// Between batches of events `idle` may do timed work; it returns the milliseconds until it
// wants to run again, or -1 for not until the next event.
class X11EventThread {
 public:
  X11EventThread() = default;
  ~X11EventThread() { stop(); }
  X11EventThread(const X11EventThread&) = delete;
  X11EventThread& operator=(const X11EventThread&) = delete;

  bool start(Display* display, std::function<void(XEvent&)> handle, std::function<int()> idle = {});
  // Returns once the thread has ended; the connection is then the caller's again.
  void stop();

 private:
  void run();

  Display* display_ = nullptr;
  std::function<void(XEvent&)> handle_;
  std::function<int()> idle_;
  int stopPipe_[2] = {-1, -1};
  std::thread thread_;
};
