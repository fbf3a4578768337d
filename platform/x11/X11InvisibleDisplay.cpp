#include "platform/x11/X11InvisibleDisplay.hpp"

#include <X11/extensions/Xrandr.h>

#include <algorithm>

#include "platform/x11/X11SpareCrtc.hpp"

namespace X11InvisibleDisplay {
namespace {

constexpr double millimetresPerPixel = 25.4 / 96;

struct Monitors {
  XRRMonitorInfo* list = nullptr;
  int count = 0;
  explicit Monitors(X11Display& display) { list = XRRGetMonitors(display.raw(), display.root(), True, &count); }
  ~Monitors() {
    if (list) XRRFreeMonitors(list);
  }
  Monitors(const Monitors&) = delete;
  Monitors& operator=(const Monitors&) = delete;
};

Size rootSize(X11Display& display) {
  ::Window root = 0;
  int x = 0, y = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  XGetGeometry(display.raw(), display.root(), &root, &x, &y, &width, &height, &border, &depth);
  return {double(width), double(height)};
}

void resizeScreen(X11Display& display, int width, int height) {
  XRRSetScreenSize(display.raw(), display.root(), width, height, int(width * millimetresPerPixel),
                   int(height * millimetresPerPixel));
}

// Without a primary monitor, window managers may count the invisible one first and
// place new windows there; the largest real output becomes primary while it exists.
void keepNewWindowsOnRealMonitors(X11Display& display, const Monitors& monitors) {
  const XRRMonitorInfo* largest = nullptr;
  for (int i = 0; i < monitors.count; ++i) {
    const XRRMonitorInfo& monitor = monitors.list[i];
    if (monitor.primary) return;
    if (monitor.noutput > 0 && (!largest || monitor.width * monitor.height > largest->width * largest->height))
      largest = &monitor;
  }
  if (largest) XRRSetOutputPrimary(display.raw(), display.root(), largest->outputs[0]);
}

bool reachable(const Rect& area, const std::vector<Rect>& crtcs) {
  const Point corners[] = {area.origin,
                           {area.origin.x + area.size.width - 1, area.origin.y},
                           {area.origin.x, area.origin.y + area.size.height - 1},
                           {area.origin.x + area.size.width - 1, area.origin.y + area.size.height - 1}};
  for (const Point& corner : corners) {
    if (std::none_of(crtcs.begin(), crtcs.end(), [&](const Rect& crtc) { return crtc.contains(corner); })) return false;
  }
  return true;
}

}  // namespace

std::vector<Rect> pointerAreas(X11Display& display) {
  std::vector<Rect> areas;
  XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display.raw(), display.root());
  if (!resources) return areas;
  for (int i = 0; i < resources->ncrtc; ++i) {
    if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(display.raw(), resources, resources->crtcs[i])) {
      if (crtc->mode != None) areas.push_back({{double(crtc->x), double(crtc->y)}, {double(crtc->width), double(crtc->height)}});
      XRRFreeCrtcInfo(crtc);
    }
  }
  XRRFreeScreenResources(resources);
  return areas;
}

bool reachable(X11Display& display, const Rect& area) { return reachable(area, pointerAreas(display)); }

std::optional<Rect> create(X11Display& display, Size size) {
  const Atom name = display.atom(monitorName);
  std::optional<Rect> stale;
  {
    Monitors monitors(display);
    for (int i = 0; i < monitors.count; ++i) {
      const XRRMonitorInfo& monitor = monitors.list[i];
      if (monitor.name == name)
        stale = Rect{{double(monitor.x), double(monitor.y)}, {double(monitor.width), double(monitor.height)}};
    }
  }
  // One a killed run left is used as it is while pointers still reach it.
  if (stale && reachable(display, *stale)) return stale;
  if (stale) remove(display);

  Monitors monitors(display);
  int right = 0;
  for (int i = 0; i < monitors.count; ++i) right = std::max(right, monitors.list[i].x + monitors.list[i].width);
  int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
  if (!XRRGetScreenSizeRange(display.raw(), display.root(), &minWidth, &minHeight, &maxWidth, &maxHeight)) {
    return std::nullopt;
  }
  // Narrower than asked when the screen cannot grow that far, but never narrower than a third.
  const int width = std::min(int(size.width), maxWidth - right);
  const int height = std::min(int(size.height), maxHeight);
  if (width < int(size.width / 3) || height <= 0) return std::nullopt;
  const Rect area{{double(right), 0}, {double(width), double(height)}};

  const Size before = rootSize(display);
  const int screenWidth = std::max(int(before.width), right + width);
  const int screenHeight = std::max(int(before.height), height);
  if (screenWidth != int(before.width) || screenHeight != int(before.height)) {
    resizeScreen(display, screenWidth, screenHeight);
  }
  std::optional<RROutput> output;
  if (!reachable(display, area) && !(output = X11SpareCrtc::drive(display, area))) {
    remove(display);  // gives the screen its size back
    return std::nullopt;
  }
  keepNewWindowsOnRealMonitors(display, monitors);
  // Naming the output keeps the server from listing it as a monitor of its own.
  XRRMonitorInfo* monitor = XRRAllocateMonitor(display.raw(), output ? 1 : 0);
  if (output) monitor->outputs[0] = *output;
  monitor->name = name;
  monitor->primary = False;
  monitor->automatic = False;
  monitor->x = right;
  monitor->y = 0;
  monitor->width = width;
  monitor->height = height;
  monitor->mwidth = int(width * millimetresPerPixel);
  monitor->mheight = int(height * millimetresPerPixel);
  XRRSetMonitor(display.raw(), display.root(), monitor);
  XFree(monitor);
  XSync(display.raw(), False);
  return area;
}

void remove(X11Display& display) {
  XRRDeleteMonitor(display.raw(), display.root(), display.atom(monitorName));
  X11SpareCrtc::release(display);
  XSync(display.raw(), False);
  // The screen shrinks back around the monitors that remain.
  Monitors monitors(display);
  int width = 0, height = 0;
  for (int i = 0; i < monitors.count; ++i) {
    width = std::max(width, monitors.list[i].x + monitors.list[i].width);
    height = std::max(height, monitors.list[i].y + monitors.list[i].height);
  }
  const Size now = rootSize(display);
  if (width > 0 && height > 0 && (width < int(now.width) || height < int(now.height))) {
    resizeScreen(display, std::min(width, int(now.width)), std::min(height, int(now.height)));
  }
  XSync(display.raw(), False);
}

}  // namespace X11InvisibleDisplay
