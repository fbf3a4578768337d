#pragma once
#include <X11/Xlib.h>
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowInfo.hpp"
#include "platform/x11/X11Display.hpp"

// One top-level window as the X server and the window manager describe it.
struct X11Window {
  ::Window client = 0;  // the app's own window: its number for the rest of the system
  pid_t pid = 0;
  std::string title;
  std::string instance, windowClass;  // WM_CLASS
  Rect frame;                        // root coordinates, decorations included
  Rect content;                      // root coordinates of the client area
  int layer = 0;
  bool viewable = false;
  bool iconic = false;
  bool overrideRedirect = false;
  bool onCurrentDesktop = true;
  long desktop = -1;  // _NET_WM_DESKTOP; -1 when unset or on all desktops
  double alpha = 1;
  bool onScreen() const { return viewable && onCurrentDesktop; }
};

// Reads the window stack; every call expects the display's lock to be held.
namespace X11Windows {

// Front to back: override-redirect windows (menus, popovers, tooltips) first, then the
// managed windows by _NET_CLIENT_LIST_STACKING.
std::vector<X11Window> stack(X11Display& display);
long currentDesktop(X11Display& display);
// The active window: as the window manager names it, else the managed window that holds
// the user's focus.
std::optional<::Window> activeWindow(X11Display& display);
std::optional<::Window> namedActiveWindow(X11Display& display);  // none while it names none
// The managed window (in _NET_CLIENT_LIST) that holds the core keyboard focus.
std::optional<::Window> focusedClient(X11Display& display);
// A window manager hears of every master keyboard's focus change, but not of the focus
// arriving at a window another keyboard holds already: when an agent's keyboard leaves an
// app's window for the user's, it marks no window active. This tells it where the user's
// keyboard is (a window manager ignores the news of a focus it knows).
void confirmFocus(X11Display& display);
// The core keyboard focus or the nearest of its ancestors that passes the test: the focus
// is often a child of the window that matters.
std::optional<::Window> focusedAncestor(X11Display& display, const std::function<bool(::Window)>& wanted);

}  // namespace X11Windows
