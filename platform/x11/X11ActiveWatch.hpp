#pragma once
#include <X11/Xlib.h>

#include <functional>
#include <mutex>

#include "platform/x11/X11EventThread.hpp"

// Calls back whenever the window manager names another active window, on a connection of
// its own; `start` again does nothing.
class X11ActiveWatch {
 public:
  X11ActiveWatch() = default;
  ~X11ActiveWatch();
  X11ActiveWatch(const X11ActiveWatch&) = delete;
  X11ActiveWatch& operator=(const X11ActiveWatch&) = delete;

  void start(std::function<void()> changed);

 private:
  std::mutex lock_;  // guards display_ and the start
  Display* display_ = nullptr;
  Atom active_ = None;
  std::function<void()> changed_;
  X11EventThread events_;
};
