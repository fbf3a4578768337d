#include "platform/x11/X11Windows.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <functional>

namespace X11Windows {
namespace {

constexpr unsigned long allDesktops = 0xFFFFFFFF;

// Window-server layers for the window types a toolkit gives its popups.
int layerOf(X11Display& display, ::Window window, bool overrideRedirect) {
  auto types = display.longs(window, "_NET_WM_WINDOW_TYPE", XA_ATOM);
  for (unsigned long type : types) {
    if (type == display.atom("_NET_WM_WINDOW_TYPE_TOOLTIP")) return 200;
    if (type == display.atom("_NET_WM_WINDOW_TYPE_NOTIFICATION")) return 102;
    if (type == display.atom("_NET_WM_WINDOW_TYPE_DOCK")) return 20;
    if (type == display.atom("_NET_WM_WINDOW_TYPE_DND")) return dragLayer;
  }
  return overrideRedirect ? 101 : 0;
}

bool isIconic(X11Display& display, ::Window window) {
  auto state = display.longs(window, "WM_STATE", display.atom("WM_STATE"));
  if (!state.empty() && state.front() == IconicState) return true;
  auto netState = display.longs(window, "_NET_WM_STATE", XA_ATOM);
  return std::find(netState.begin(), netState.end(), display.atom("_NET_WM_STATE_HIDDEN")) != netState.end();
}

std::optional<X11Window> describe(X11Display& display, ::Window window, long current) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display.raw(), window, &attributes)) return std::nullopt;
  X11Window info;
  info.client = window;
  info.overrideRedirect = attributes.override_redirect;
  info.viewable = attributes.map_state == IsViewable;
  int x = 0, y = 0;
  ::Window child = 0;
  XTranslateCoordinates(display.raw(), window, display.root(), 0, 0, &x, &y, &child);
  info.content = {{double(x), double(y)}, {double(attributes.width), double(attributes.height)}};
  info.frame = info.content;
  auto extents = display.longs(window, "_NET_FRAME_EXTENTS", XA_CARDINAL);  // left, right, top, bottom
  if (extents.size() == 4) {
    info.frame.origin.x -= double(extents[0]);
    info.frame.origin.y -= double(extents[2]);
    info.frame.size.width += double(extents[0] + extents[1]);
    info.frame.size.height += double(extents[2] + extents[3]);
  }
  info.pid = static_cast<pid_t>(display.cardinal(window, "_NET_WM_PID").value_or(0));
  info.title = display.title(window);
  std::tie(info.instance, info.windowClass) = display.windowClass(window);
  info.layer = layerOf(display, window, info.overrideRedirect);
  if (!info.overrideRedirect) {
    info.iconic = isIconic(display, window);
    auto desktop = display.cardinal(window, "_NET_WM_DESKTOP");
    if (desktop && *desktop != allDesktops) info.desktop = long(*desktop);
    info.onCurrentDesktop = info.desktop < 0 || current < 0 || info.desktop == current;
  }
  if (auto opacity = display.cardinal(window, "_NET_WM_WINDOW_OPACITY")) info.alpha = double(*opacity) / 0xFFFFFFFFu;
  return info;
}

// Mapped override-redirect children of the root, front to back.
std::vector<X11Window> overrideRedirectWindows(X11Display& display, long current) {
  std::vector<X11Window> found;
  const auto children = display.rootChildren();
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    // Input-only windows (a toolkit's grab window) draw nothing.
    if (!child->overrideRedirect || !child->viewable || child->inputOnly) continue;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display.raw(), child->window, &attributes)) continue;
    if (attributes.width <= 1 && attributes.height <= 1) continue;  // specks are toolkit helpers too
    if (auto info = describe(display, child->window, current); info && info->pid != 0) found.push_back(*info);
  }
  return found;
}

}  // namespace

long currentDesktop(X11Display& display) {
  auto current = display.cardinal(display.root(), "_NET_CURRENT_DESKTOP");
  return current ? long(*current) : -1;
}

std::optional<::Window> focusedAncestor(X11Display& display, const std::function<bool(::Window)>& wanted) {
  ::Window focus = 0;
  int revert = 0;
  XGetInputFocus(display.raw(), &focus, &revert);
  for (int depth = 0; focus > PointerRoot && depth < 16; ++depth) {
    if (wanted(focus)) return focus;
    ::Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display.raw(), focus, &rootReturn, &parent, &children, &count)) break;
    if (children != nullptr) XFree(children);
    if (parent == rootReturn) break;
    focus = parent;
  }
  return std::nullopt;
}

std::optional<::Window> focusedClient(X11Display& display) {
  const auto clients = display.longs(display.root(), "_NET_CLIENT_LIST", XA_WINDOW);
  return focusedAncestor(display, [&](::Window window) {
    return std::find(clients.begin(), clients.end(), long(window)) != clients.end();
  });
}

std::optional<::Window> namedActiveWindow(X11Display& display) {
  auto active = display.longs(display.root(), "_NET_ACTIVE_WINDOW", XA_WINDOW);
  if (!active.empty() && active.front() != 0) return ::Window(active.front());
  return std::nullopt;
}

std::optional<::Window> activeWindow(X11Display& display) {
  if (auto active = namedActiveWindow(display)) return active;
  // Window managers clear it when any master keyboard's focus leaves a window, although
  // the user's keyboard stays where it was: the managed window holding the user's focus
  // then tells the front window.
  return focusedClient(display);
}

void confirmFocus(X11Display& display) {
  const auto focused = focusedClient(display);
  if (!focused) return;
  const auto frame = display.topLevel(*focused);
  if (!frame) return;
  // What the server would send the frame had the focus just come from another window;
  // only the window manager listens for focus changes on its frames.
  XEvent event{};
  event.xfocus.type = FocusIn;
  event.xfocus.window = *frame;
  event.xfocus.mode = NotifyNormal;
  event.xfocus.detail = NotifyNonlinearVirtual;
  XSendEvent(display.raw(), *frame, False, FocusChangeMask, &event);
  XFlush(display.raw());
}

std::vector<X11Window> stack(X11Display& display) {
  const long current = currentDesktop(display);
  std::vector<X11Window> windows = overrideRedirectWindows(display, current);
  auto clients = display.longs(display.root(), "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
  if (clients.empty()) clients = display.longs(display.root(), "_NET_CLIENT_LIST", XA_WINDOW);
  for (auto it = clients.rbegin(); it != clients.rend(); ++it) {
    if (auto info = describe(display, ::Window(*it), current)) windows.push_back(*info);
  }
  return windows;
}

}  // namespace X11Windows
