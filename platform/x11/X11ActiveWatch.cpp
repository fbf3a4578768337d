#include "platform/x11/X11ActiveWatch.hpp"

X11ActiveWatch::~X11ActiveWatch() {
  events_.stop();
  if (display_ != nullptr) XCloseDisplay(display_);
}

void X11ActiveWatch::start(std::function<void()> changed) {
  std::lock_guard guard(lock_);
  if (display_ != nullptr) return;
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) return;
  changed_ = std::move(changed);
  active_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
  XSelectInput(display_, DefaultRootWindow(display_), PropertyChangeMask);
  XFlush(display_);
  events_.start(display_, [this](XEvent& event) {
    if (event.type == PropertyNotify && event.xproperty.atom == active_) changed_();
  });
}
