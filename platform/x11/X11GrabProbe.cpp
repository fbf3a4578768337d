#include "platform/x11/X11GrabProbe.hpp"

#include <X11/extensions/XInput2.h>

#include <string_view>

#include "platform/x11/X11AgentNames.hpp"

X11GrabProbe::X11GrabProbe(X11Display& display) : display_(display) {
  std::lock_guard guard(display_.lock());
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  unmapped_ = XCreateWindow(display_.raw(), display_.root(), -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent,
                            CWOverrideRedirect, &attributes);
}

X11GrabProbe::~X11GrabProbe() {
  std::lock_guard guard(display_.lock());
  XDestroyWindow(display_.raw(), unmapped_);
  XFlush(display_.raw());
}

bool X11GrabProbe::heldByAnother(int device) {
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XIEventMask mask{device, sizeof bits, bits};
  const Status status = XIGrabDevice(display_.raw(), device, unmapped_, CurrentTime, None, XIGrabModeAsync,
                                     XIGrabModeAsync, False, &mask);
  // Never expected on an unmapped window; given back at once should a server differ.
  if (status == Success) {
    XIUngrabDevice(display_.raw(), device, CurrentTime);
    XFlush(display_.raw());
  }
  return status == AlreadyGrabbed || status == GrabFrozen;
}

bool X11GrabProbe::userKeyboardHeldByAnother() {
  int count = 0;
  XIDeviceInfo* info = XIQueryDevice(display_.raw(), XIAllMasterDevices, &count);
  bool held = false;
  for (int i = 0; i < count && !held; ++i) {
    const bool agents = std::string_view(info[i].name).starts_with(X11AgentNames::prefix);
    if (info[i].use == XIMasterKeyboard && !agents) held = heldByAnother(info[i].deviceid);
  }
  XIFreeDeviceInfo(info);
  return held;
}
