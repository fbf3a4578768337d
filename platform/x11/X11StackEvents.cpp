#include "platform/x11/X11StackEvents.hpp"

#include <poll.h>

X11StackEvents::~X11StackEvents() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

bool X11StackEvents::wait(std::chrono::milliseconds timeout) {
  std::lock_guard guard(lock_);
  if (display_ == nullptr) {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return false;
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask | PropertyChangeMask);
    XFlush(display_);
  }
  if (XPending(display_) == 0) {
    pollfd ready{ConnectionNumber(display_), POLLIN, 0};
    poll(&ready, 1, int(timeout.count()));
  }
  // One change often comes as several events: take all of them at once.
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
  }
  return true;
}
