#include "platform/x11/X11UserWatch.hpp"

#include <X11/extensions/XInput2.h>

#include <chrono>

namespace {

double monotonic() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

X11UserWatch::X11UserWatch() {
  lastPress_ = monotonic();
  display_ = XOpenDisplay(nullptr);
  int event = 0, error = 0;
  if (display_ == nullptr || !XQueryExtension(display_, "XInputExtension", &opcode_, &event, &error)) return;
  XModifierKeymap* map = XGetModifierMapping(display_);
  if (map != nullptr) {
    for (int i = 0; i < 8 * map->max_keypermod; ++i)
      if (map->modifiermap[i] != 0) modifierKeys_.insert(map->modifiermap[i]);
    XFreeModifiermap(map);
  }
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawButtonPress);
  XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
  XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
  XFlush(display_);
  events_.start(display_, [this](XEvent& event) { handle(event); });
}

X11UserWatch::~X11UserWatch() {
  events_.stop();
  if (display_ != nullptr) XCloseDisplay(display_);
}

void X11UserWatch::setCallback(std::function<void(UserInputKind)> callback) {
  std::lock_guard guard(lock_);
  callback_ = std::move(callback);
}

void X11UserWatch::setAgentSources(std::set<int> devices) {
  std::lock_guard guard(lock_);
  agentSources_ = std::move(devices);
}

double X11UserWatch::idleSinceClick() const {
  double last = lastClick_;
  return last < 0 ? 1e9 : monotonic() - last;
}

double X11UserWatch::idleSeconds() const {
  double last = lastPress_;
  return last < 0 ? 1e9 : monotonic() - last;
}

void X11UserWatch::handle(XEvent& event) {
  if (event.xcookie.type != GenericEvent || event.xcookie.extension != opcode_) return;
  if (!XGetEventData(display_, &event.xcookie)) return;
  const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
  const bool key = event.xcookie.evtype == XI_RawKeyPress;
  std::function<void(UserInputKind)> callback;
  UserInputKind kind = UserInputKind::button;
  bool userButton = false;
  {
    std::lock_guard guard(lock_);
    if (!agentSources_.contains(raw->sourceid)) {
      userButton = !key;
      lastPress_ = monotonic();
      callback = callback_;
      if (key) kind = modifierKeys_.contains(raw->detail) ? UserInputKind::modifier : UserInputKind::key;
      if (kind != UserInputKind::key) lastClick_ = lastPress_.load();
    }
  }
  XFreeEventData(display_, &event.xcookie);
  if (userButton) notePressPoint();
  if (callback) callback(kind);
}

// Raw events carry no position: the user's pointer is asked right after the press.
void X11UserWatch::notePressPoint() {
  ::Window root = 0, child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  if (!XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &x, &y, &mask)) return;
  std::lock_guard guard(lock_);
  pressPoint_ = Point{double(rootX), double(rootY)};
  pressTime_ = monotonic();
}

std::optional<UserPress> X11UserWatch::lastPress() const {
  std::lock_guard guard(lock_);
  if (!pressPoint_) return std::nullopt;
  return UserPress{*pressPoint_, monotonic() - pressTime_};
}
