#include "platform/x11/X11WindowServer.hpp"

#include "platform/x11/X11InvisibleDisplay.hpp"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include <cmath>

namespace {

// Spaces are desktops counted from 1, so that 0 stays "none".
SpaceID spaceOf(long desktop) { return desktop + 1; }

Json bounds(const Rect& frame) {
  return {{"X", frame.origin.x}, {"Y", frame.origin.y}, {"Width", frame.size.width}, {"Height", frame.size.height}};
}

}  // namespace

std::vector<X11Window> X11WindowServer::stack() {
  std::lock_guard guard(display_->lock());
  return X11Windows::stack(*display_);
}

Json X11WindowServer::windowList(uint32_t options, WindowNumber relativeTo) {
  Json list = Json::array();
  for (const auto& window : stack()) {
    // Iconic and withdrawn windows are listed only when off-screen windows are asked for.
    if (!window.viewable && !window.iconic) continue;
    const bool onScreen = window.onScreen();
    if ((options & WindowListOption::onScreenOnly) && !onScreen) continue;
    if ((options & WindowListOption::includingWindow) && !(options & WindowListOption::onScreenOnly) &&
        window.client != relativeTo) {
      continue;
    }
    list.push_back({{WindowKey::number, WindowNumber(window.client)},
                    {WindowKey::ownerPID, window.pid},
                    {WindowKey::ownerName, window.windowClass.empty() ? window.instance : window.windowClass},
                    {WindowKey::name, window.title},
                    {WindowKey::bounds, bounds(window.frame)},
                    {WindowKey::layer, window.layer},
                    {WindowKey::isOnscreen, onScreen},
                    {WindowKey::alpha, window.alpha}});
  }
  return list;
}

std::optional<pid_t> X11WindowServer::pidOf(::Window window) {
  auto pid = display_->cardinal(window, "_NET_WM_PID");
  if (!pid || *pid == 0) return std::nullopt;
  return pid_t(*pid);
}

// Every focus change of an agent's keyboard reaches the window manager as a core focus
// event, and apps clicked in the background focus themselves on it (Qt, Chromium); a
// window manager also names an app active that asked for it while the user's keyboard
// stayed where it was. It would then name that app's window active, or none, while the
// user's keys go to their own window: whenever it names another window than the user's,
// it is told where the user's keyboard is.
void X11WindowServer::keepUsersWindowActive() {
  auto correct = [this] {
    std::lock_guard guard(display_->lock());
    if (X11Windows::namedActiveWindow(*display_) != X11Windows::focusedClient(*display_))
      X11Windows::confirmFocus(*display_);
  };
  activeWatch_.start(correct);
  correct();
}

X11WindowServer::X11WindowServer(std::shared_ptr<X11Display> display) : display_(std::move(display)) {}

std::optional<::Window> X11WindowServer::focusedClient() {
  return X11Windows::focusedAncestor(*display_, [this](::Window window) { return pidOf(window).has_value(); });
}

std::optional<::Window> X11WindowServer::frontClient() {
  auto active = X11Windows::activeWindow(*display_);
  auto focused = focusedClient();
  // openbox marks an app active that asked for it (Chromium, when an agent's keyboard is
  // focused on it) while the keyboard focus stays with the user's window, or marks none
  // after it gave the front back: the front is where the user's keys go then.
  if (focused && (!active || pidOf(*focused) != pidOf(*active))) return focused;
  return active;
}

std::optional<pid_t> X11WindowServer::frontProcess() {
  std::lock_guard guard(display_->lock());
  auto front = frontClient();
  return front ? pidOf(*front) : std::nullopt;
}

std::optional<pid_t> X11WindowServer::keyFocusProcess() {
  std::lock_guard guard(display_->lock());
  if (auto named = focusedClient()) return pidOf(*named);
  auto active = X11Windows::activeWindow(*display_);
  return active ? pidOf(*active) : std::nullopt;
}

std::vector<SpaceID> X11WindowServer::spaces(WindowNumber number) {
  std::lock_guard guard(display_->lock());
  auto desktop = display_->cardinal(number, "_NET_WM_DESKTOP");
  if (!desktop) return {};
  if (*desktop == 0xFFFFFFFF) {
    auto count = display_->cardinal(display_->root(), "_NET_NUMBER_OF_DESKTOPS").value_or(1);
    std::vector<SpaceID> all;
    for (unsigned long i = 0; i < count; ++i) all.push_back(spaceOf(long(i)));
    return all;
  }
  return {spaceOf(long(*desktop))};
}

std::set<SpaceID> X11WindowServer::visibleSpaces() {
  std::lock_guard guard(display_->lock());
  return {spaceOf(std::max(0L, X11Windows::currentDesktop(*display_)))};
}

std::vector<DisplayInfo> X11WindowServer::displays() {
  std::lock_guard guard(display_->lock());
  std::vector<DisplayInfo> found;
  const Atom invisible = display_->atom(X11InvisibleDisplay::monitorName);
  int count = 0;
  uint32_t next = 1;
  if (XRRMonitorInfo* monitors = XRRGetMonitors(display_->raw(), display_->root(), True, &count)) {
    for (int i = 0; i < count; ++i) {
      const XRRMonitorInfo& monitor = monitors[i];
      const bool ours = monitor.name == invisible;
      const Rect frame{{double(monitor.x), double(monitor.y)}, {double(monitor.width), double(monitor.height)}};
      // Pointers cannot reach it once another program turned its CRTC off: it is lost.
      if (ours && !X11InvisibleDisplay::reachable(*display_, frame)) continue;
      found.push_back({ours ? X11InvisibleDisplay::id : next++, frame, bool(monitor.primary) && !ours, ours});
    }
    XRRFreeMonitors(monitors);
  }
  if (std::none_of(found.begin(), found.end(), [](const DisplayInfo& d) { return !d.isInvisible; })) {
    Screen* screen = DefaultScreenOfDisplay(display_->raw());
    found.push_back({next, {{0, 0}, {double(WidthOfScreen(screen)), double(HeightOfScreen(screen))}}, true});
  }
  if (std::none_of(found.begin(), found.end(), [](const DisplayInfo& d) { return d.isMain; })) {
    std::find_if(found.begin(), found.end(), [](const DisplayInfo& d) { return !d.isInvisible; })->isMain = true;
  }
  return found;
}

std::optional<DisplayInfo> X11WindowServer::createInvisibleDisplay(Size size) {
  std::lock_guard guard(display_->lock());
  auto frame = X11InvisibleDisplay::create(*display_, size);
  if (!frame) return std::nullopt;
  return DisplayInfo{X11InvisibleDisplay::id, *frame, false, true};
}

void X11WindowServer::removeInvisibleDisplay(uint32_t id) {
  if (id != X11InvisibleDisplay::id) return;
  std::lock_guard guard(display_->lock());
  X11InvisibleDisplay::remove(*display_);
}

std::optional<WindowInfo> X11WindowServer::windowAt(Point point) {
  std::lock_guard guard(display_->lock());
  // The server keeps every pointer, agents' too, on the areas its CRTCs drive: a press
  // elsewhere would land at the edge of one of them.
  const auto now = std::chrono::steady_clock::now();
  if (now - reachableRead_ > std::chrono::seconds(1)) {
    reachable_ = X11InvisibleDisplay::pointerAreas(*display_);
    reachableRead_ = now;
  }
  if (!reachable_.empty() &&
      std::none_of(reachable_.begin(), reachable_.end(), [&](const Rect& area) { return area.contains(point); })) {
    return std::nullopt;
  }
  // The server's own answer honours stacking and input shapes; it names the frame.
  ::Window child = 0;
  int x = 0, y = 0;
  if (!XTranslateCoordinates(display_->raw(), display_->root(), display_->root(), static_cast<int>(point.x),
                             static_cast<int>(point.y), &x, &y, &child) ||
      child == 0) {
    return std::nullopt;
  }
  // Pointer paths ask this for every sample: frames map to their windows from a short-lived table.
  if (!frames_.contains(child) || now - framesRead_ > std::chrono::seconds(1)) {
    frames_.clear();
    for (const auto& window : X11Windows::stack(*display_)) {
      if (!window.onScreen()) continue;
      WindowInfo info;
      info.id = static_cast<WindowNumber>(window.client);
      info.pid = window.pid;
      auto frame = window.overrideRedirect ? std::optional<::Window>(window.client) : display_->topLevel(window.client);
      if (frame && !frames_.contains(*frame)) frames_[*frame] = info;
    }
    framesRead_ = now;
  }
  if (auto found = frames_.find(child); found != frames_.end()) return found->second;
  WindowInfo unknown;  // a window outside the stack (a desktop or panel): never the target
  unknown.id = static_cast<WindowNumber>(child);
  return unknown;
}

std::optional<WindowNumber> X11WindowServer::frontWindow() {
  std::lock_guard guard(display_->lock());
  auto front = frontClient();
  if (!front) return std::nullopt;
  return static_cast<WindowNumber>(*front);
}

bool X11WindowServer::activate(WindowNumber window) {
  std::lock_guard guard(display_->lock());
  // As a pager asks: the window manager obeys without focus-stealing rules.
  return askWindowManager(window, "_NET_ACTIVE_WINDOW", {2, CurrentTime, 0});
}

bool X11WindowServer::move(WindowNumber window, Point to) {
  std::lock_guard guard(display_->lock());
  const int x = int(std::lround(to.x)), y = int(std::lround(to.y));
  if (!hasWindowManager()) {
    XMoveWindow(display_->raw(), window, x, y);
    XFlush(display_->raw());
    return true;
  }
  // North-west gravity puts the frame's outer corner, decorations included, at the point;
  // the flags say x and y are given, by a pager.
  return askWindowManager(window, "_NET_MOVERESIZE_WINDOW", {NorthWestGravity | (1 << 8) | (1 << 9) | (2 << 12), x, y});
}

std::vector<WindowNumber> X11WindowServer::drawingOrder() {
  std::lock_guard guard(display_->lock());
  std::vector<WindowNumber> order;
  const auto children = display_->rootChildren();
  const auto now = std::chrono::steady_clock::now();
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    if (!child->viewable) continue;
    // A frame the table does not know yet: a window was just managed (read at most once a second).
    if (!child->overrideRedirect && !clientOfFrame_.contains(child->window) &&
        now - clientsRead_ > std::chrono::seconds(1)) {
      clientOfFrame_.clear();
      const auto longs = display_->longs(display_->root(), "_NET_CLIENT_LIST", XA_WINDOW);
      const std::vector<::Window> clients(longs.begin(), longs.end());
      const auto frames = display_->topLevels(clients);
      for (size_t i = 0; i < clients.size(); ++i)
        if (frames[i]) clientOfFrame_[*frames[i]] = clients[i];
      clientsRead_ = now;
    }
    auto client = clientOfFrame_.find(child->window);
    order.push_back(WindowNumber(client == clientOfFrame_.end() ? child->window : client->second));
  }
  return order;
}

void X11WindowServer::waitForStackChange(std::chrono::milliseconds timeout) {
  if (!stackEvents_.wait(timeout)) WindowServer::waitForStackChange(timeout);
}

bool X11WindowServer::raise(WindowNumber window) {
  std::lock_guard guard(display_->lock());
  if (!hasWindowManager()) {
    XRaiseWindow(display_->raw(), window);
    XFlush(display_->raw());
    return true;
  }
  return askWindowManager(window, "_NET_RESTACK_WINDOW", {2, None, Above});  // from a pager, to the top
}

bool X11WindowServer::hasWindowManager() {
  return !display_->longs(display_->root(), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty();
}

bool X11WindowServer::askWindowManager(WindowNumber window, const char* message, std::array<long, 3> data) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = display_->atom(message);
  event.xclient.format = 32;
  for (size_t i = 0; i < data.size(); ++i) event.xclient.data.l[i] = data[i];
  const bool sent = XSendEvent(display_->raw(), display_->root(), False,
                               SubstructureRedirectMask | SubstructureNotifyMask, &event) != 0;
  XFlush(display_->raw());
  return sent;
}
