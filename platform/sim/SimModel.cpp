#include "platform/sim/SimModel.hpp"

#include <algorithm>
#include <atomic>

#include "platform/sim/SimText.hpp"

namespace {

constexpr double defaultMessagingTimeout = 6.0;

// Process-wide, so that desktops built one after another in a process never share a
// pid or window number (the accessibility caches are process-wide too).
std::atomic<pid_t> nextPID{1000};
std::atomic<WindowNumber> nextWindow{100};

}  // namespace

std::string SimModel::idOf(NodeID node) { return "n" + std::to_string(node); }

std::optional<SimModel::NodeID> SimModel::nodeOf(const AXElement& element) {
  if (element.id.size() < 2 || element.id[0] != 'n') return std::nullopt;
  try {
    return std::stoull(element.id.substr(1));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

pid_t SimModel::addApp(const SimTraits::App& traits) {
  pid_t pid = nextPID++;
  App& app = apps[pid];
  app.traits = traits;
  app.record = {pid, traits.name, traits.bundleID, traits.executable, traits.bundlePath, traits.policy, traits.hidden, false,
                traits.electron, now};
  app.node = newNode(pid, "AXApplication", std::nullopt);
  nodes[app.node].attributes["AXTitle"] = traits.name;
  if (!front && traits.policy == ActivationPolicy::regular) front = pid;
  return pid;
}

WindowNumber SimModel::addWindow(pid_t pid, const SimTraits::Window& traits) {
  Window added{nextWindow++, pid, traits, 0, now};
  added.node = newNode(pid, "AXWindow", apps.at(pid).node);
  Node& node = nodes[added.node];
  node.window = added.id;
  node.attributes["AXSubrole"] = traits.subrole;
  node.settable = {"AXPosition", "AXSize", "AXMinimized", "AXMain"};
  node.actions = {"AXRaise"};
  windows.insert(windows.begin(), added);
  return added.id;
}

SimModel::NodeID SimModel::newNode(pid_t pid, const std::string& role, std::optional<NodeID> parent) {
  NodeID id = nextNode++;
  Node& node = nodes[id];
  node.pid = pid;
  node.role = role;
  node.parent = parent;
  if (parent) nodes[*parent].children.push_back(id);
  if (auto app = apps.find(pid); app != apps.end()) app->second.nodesInOrder.push_back(id);
  return id;
}

void SimModel::eraseNode(NodeID id) {
  auto found = nodes.find(id);
  if (found == nodes.end()) return;
  for (NodeID child : std::vector<NodeID>(found->second.children)) eraseNode(child);
  if (auto parent = found->second.parent; parent && nodes.contains(*parent)) {
    auto& siblings = nodes[*parent].children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
  }
  nodes.erase(id);
}

SimModel::Window* SimModel::window(WindowNumber number) {
  auto found = std::find_if(windows.begin(), windows.end(), [&](const Window& w) { return w.id == number; });
  return found == windows.end() ? nullptr : &*found;
}

const SimModel::Node* SimModel::find(const AXElement& element) const {
  auto id = nodeOf(element);
  if (!id) return nullptr;
  auto found = nodes.find(*id);
  return found == nodes.end() ? nullptr : &found->second;
}

const SimModel::Window* SimModel::windowOf(const Node& node) const {
  if (!node.window) return nullptr;
  for (const auto& w : windows) {
    if (w.id == *node.window) return &w;
  }
  return nullptr;
}

bool SimModel::isOnVisibleSpace(const Window& window) const {
  return window.traits.space == 0 || visibleSpaces.contains(window.traits.space);
}

bool SimModel::isOnScreen(const Window& window) const {
  const App& app = apps.at(window.pid);
  return isShown(window) && !window.traits.minimized && !app.record.hidden && isOnVisibleSpace(window) &&
         window.traits.alpha > 0;
}

void SimModel::makeWebContent(App& app) {
  if (app.webContentMade || !app.webContentAt || now < *app.webContentAt) return;
  app.webContentMade = true;
  for (const auto& each : windows) {
    if (each.pid != app.record.pid) continue;
    NodeID web = newNode(app.record.pid, "AXWebArea", each.node);
    nodes[web].attributes["AXTitle"] = each.traits.title;
    NodeID text = newNode(app.record.pid, "AXStaticText", web);
    nodes[text].attributes["AXValue"] = std::string("Page content");
  }
}

std::optional<AXValue> SimModel::computed(const Node& node, const std::string& name) {
  App& app = apps.at(node.pid);
  makeWebContent(app);
  if (name == "AXRole") return node.role;
  if (name == "AXChildren") {
    std::vector<AXElement> children;
    for (NodeID child : node.children) {
      const Node& each = nodes.at(child);
      if (const Window* shown = windowOf(each); shown && !isShown(*shown)) continue;
      children.push_back(elementOf(child));
    }
    return children;
  }
  if (name == "AXParent" && node.parent) return elementOf(*node.parent);
  if (node.attributes.contains("AXValue") && std::holds_alternative<std::string>(node.attributes.at("AXValue"))) {
    if (name == "AXSelectedText") return SimText::selectedText(node);
    if (name == "AXSelectedTextRange") return SimText::selection(node);
  }
  if (name == "AXWindow") {
    for (const Node* up = &node;; up = &nodes.at(*up->parent)) {
      if (const Window* own = windowOf(*up)) return elementOf(own->node);
      if (!up->parent) return std::nullopt;
    }
  }
  if (const Window* own = windowOf(node)) {
    if (name == "AXPosition") return own->traits.frame.origin;
    if (name == "AXSize") return own->traits.frame.size;
    if (name == "AXTitle") return own->traits.title;
    if (name == "AXMinimized") return own->traits.minimized;
  }
  if (node.role == "AXApplication") {
    // Like the real AXWindows: windows on Spaces not shown now are not listed.
    std::vector<AXElement> listed;
    for (const auto& each : windows) {
      if (each.pid == node.pid && isShown(each) && isOnVisibleSpace(each)) listed.push_back(elementOf(each.node));
    }
    if (name == "AXWindows") return listed;
    if (name == "AXHidden") return app.record.hidden;
    if (name == "AXMainWindow" || name == "AXFocusedWindow") {
      for (const auto& each : windows) {
        if (each.pid == node.pid && app.mainWindow == each.id) return elementOf(each.node);
      }
      if (!listed.empty()) return listed.front();
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<AXStatus> SimModel::answerCost(const AXElement& element) {
  now += callCost;
  auto app = apps.find(element.pid);
  if (app != apps.end() && app->second.traits.unresponsive) {
    now += element.timeout > 0 ? element.timeout : defaultMessagingTimeout;
    return AXError::cannotComplete;
  }
  if (!find(element)) return AXError::invalidElement;
  return std::nullopt;
}

const SimModel::Window* SimModel::windowAt(Point point) const {
  for (const auto& window : windows)
    if (isOnScreen(window) && window.traits.frame.contains(point)) return &window;
  return nullptr;
}

std::optional<SimModel::NodeID> SimModel::elementAt(const Window& window, Point point) const {
  std::optional<NodeID> hit;
  std::function<void(NodeID)> visit = [&](NodeID id) {
    const Node& node = nodes.at(id);
    auto position = node.attributes.find("AXPosition");
    auto size = node.attributes.find("AXSize");
    if (position != node.attributes.end() && size != node.attributes.end()) {
      const auto* origin = std::get_if<Point>(&position->second);
      const auto* extent = std::get_if<Size>(&size->second);
      if (origin && extent && Rect{*origin, *extent}.contains(point)) hit = id;
    }
    for (NodeID child : node.children) visit(child);
  };
  visit(window.node);
  return hit;
}

std::vector<std::function<void()>> SimModel::advance(double seconds) {
  if (seconds > 0) now += seconds;
  std::vector<std::function<void()>> due;
  for (auto it = scheduled.begin(); it != scheduled.end();) {
    if (it->at <= now) {
      due.push_back(std::move(it->action));
      it = scheduled.erase(it);
    } else {
      ++it;
    }
  }
  return due;
}

void SimModel::moveWindow(Window& window, Point origin) {
  const double dx = origin.x - window.traits.frame.origin.x, dy = origin.y - window.traits.frame.origin.y;
  window.traits.frame.origin = origin;
  std::function<void(NodeID)> shift = [&](NodeID id) {
    Node& node = nodes.at(id);
    if (auto position = node.attributes.find("AXPosition"); position != node.attributes.end()) {
      if (auto* point = std::get_if<Point>(&position->second)) *point = {point->x + dx, point->y + dy};
    }
    for (NodeID child : node.children) shift(child);
  };
  for (NodeID child : nodes.at(window.node).children) shift(child);
}

WindowNumber SimModel::addOverlay(const OverlayPicture& picture) {
  const WindowNumber id = nextWindow++;
  overlays[id] = {{{0, 0}, picture.size}, picture, std::nullopt, true};
  return id;
}

std::function<void(UserInputKind)> SimModel::notePress(UserInputKind kind) {
  lastUserInput = now;
  if (kind != UserInputKind::key) lastUserClick = now;
  return userWatcher;
}

void SimModel::raise(WindowNumber number) {
  auto found = std::find_if(windows.begin(), windows.end(), [&](const Window& w) { return w.id == number; });
  if (found == windows.end()) return;
  std::rotate(windows.begin(), found, found + 1);
  for (auto& [id, overlay] : overlays)
    if (overlay.anchor == number) overlay.inFront = false;
}

std::vector<WindowNumber> SimModel::drawingOrder() const {
  std::vector<WindowNumber> order;
  auto anchoredTo = [&](WindowNumber window, bool inFront) {
    for (const auto& [id, overlay] : overlays)
      if (overlay.anchor == window && overlay.inFront == inFront) order.push_back(id);
  };
  // Overlays whose window is gone from the screen float in front of everything.
  for (const auto& [id, overlay] : overlays) {
    if (!overlay.anchor) continue;
    const WindowNumber anchorID = *overlay.anchor;
    auto anchor = std::find_if(windows.begin(), windows.end(), [&](const Window& w) { return w.id == anchorID; });
    if (anchor == windows.end() || !isOnScreen(*anchor)) order.push_back(id);
  }
  for (const auto& window : windows) {
    if (!isOnScreen(window)) continue;
    anchoredTo(window.id, true);
    order.push_back(window.id);
    anchoredTo(window.id, false);
  }
  return order;
}
