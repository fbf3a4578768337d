#pragma once
#include <X11/Xlib.h>

#include "platform/x11/X11Display.hpp"

// Whether another client holds an active grab of a master device, learned without ever
// taking it: the server answers a grab on a window that is not mapped with
// AlreadyGrabbed when another client holds the device, and with GrabNotViewable
// otherwise, before it would grab anything. So the probe sends no focus or crossing
// event and can swallow none of the user's keys.
class X11GrabProbe {
 public:
  explicit X11GrabProbe(X11Display& display);
  ~X11GrabProbe();
  X11GrabProbe(const X11GrabProbe&) = delete;
  X11GrabProbe& operator=(const X11GrabProbe&) = delete;

  // Both expect the display's lock held.
  bool heldByAnother(int device);
  // Whether another client holds one of the user's keyboards: any master keyboard but an
  // agent's (X11AgentNames).
  bool userKeyboardHeldByAnother();

 private:
  X11Display& display_;
  ::Window unmapped_;
};
