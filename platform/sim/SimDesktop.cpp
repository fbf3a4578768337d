#include "platform/sim/SimDesktop.hpp"

#include <algorithm>
#include <atomic>

#include "kit/common/Text.hpp"
#include "kit/perception/DesktopEntries.hpp"

namespace {

constexpr double webContentDelay = 0.6;
constexpr double defaultMessagingTimeout = 6.0;
constexpr double remoteTokenCost = 0.00005;

// Process-wide, so that desktops built one after another in a process never share a
// pid or window number (the accessibility caches are process-wide too).
std::atomic<pid_t> nextPID{1000};
std::atomic<WindowNumber> nextWindow{100};

std::string idOf(SimDesktop::NodeID node) { return "n" + std::to_string(node); }

std::optional<SimDesktop::NodeID> nodeOf(const AXElement& element) {
  if (element.id.size() < 2 || element.id[0] != 'n') return std::nullopt;
  try {
    return std::stoull(element.id.substr(1));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

SimDesktop::SimDesktop() = default;

// ---- scene building

SimDesktop::NodeID SimDesktop::newNode(pid_t pid, const std::string& role, std::optional<NodeID> parent) {
  NodeID id = nextNode_++;
  Node& node = nodes_[id];
  node.pid = pid;
  node.role = role;
  node.parent = parent;
  if (parent) nodes_[*parent].children.push_back(id);
  if (auto app = apps_.find(pid); app != apps_.end()) app->second.nodesInOrder.push_back(id);
  return id;
}

pid_t SimDesktop::addApp(AppTraits traits) {
  std::lock_guard guard(lock_);
  pid_t pid = nextPID++;
  App& app = apps_[pid];
  app.traits = traits;
  app.record = {pid, traits.name, traits.bundleID, traits.executable, traits.bundlePath, traits.policy, traits.hidden, false,
                traits.electron, now_};
  app.node = newNode(pid, "AXApplication", std::nullopt);
  nodes_[app.node].attributes["AXTitle"] = traits.name;
  if (!front_ && traits.policy == ActivationPolicy::regular) front_ = pid;
  return pid;
}

WindowNumber SimDesktop::addWindow(pid_t pid, WindowTraits traits) {
  std::lock_guard guard(lock_);
  Window window{nextWindow++, pid, traits, 0, now_};
  window.node = newNode(pid, "AXWindow", apps_.at(pid).node);
  Node& node = nodes_[window.node];
  node.window = window.id;
  node.attributes["AXSubrole"] = traits.subrole;
  node.settable = {"AXPosition", "AXSize", "AXMinimized", "AXMain"};
  node.actions = {"AXRaise"};
  windows_.insert(windows_.begin(), window);
  return window.id;
}

SimDesktop::NodeID SimDesktop::addElement(NodeID parent, const std::string& role,
                                          std::map<std::string, AXValue> attributes, std::vector<std::string> actions) {
  std::lock_guard guard(lock_);
  NodeID id = newNode(nodes_.at(parent).pid, role, parent);
  nodes_[id].attributes = std::move(attributes);
  nodes_[id].actions = std::move(actions);
  return id;
}

void SimDesktop::setValue(NodeID node, const std::string& name, AXValue value) {
  std::lock_guard guard(lock_);
  nodes_.at(node).attributes[name] = std::move(value);
}

void SimDesktop::makeSettable(NodeID node, const std::string& name) {
  std::lock_guard guard(lock_);
  nodes_.at(node).settable.insert(name);
}

void SimDesktop::onAction(NodeID node, const std::string& action, std::function<void()> effect) {
  std::lock_guard guard(lock_);
  Node& target = nodes_.at(node);
  if (std::find(target.actions.begin(), target.actions.end(), action) == target.actions.end()) {
    target.actions.push_back(action);
  }
  target.effects[action] = std::move(effect);
}

void SimDesktop::eraseNode(NodeID id) {
  auto found = nodes_.find(id);
  if (found == nodes_.end()) return;
  for (NodeID child : std::vector<NodeID>(found->second.children)) eraseNode(child);
  if (auto parent = found->second.parent; parent && nodes_.contains(*parent)) {
    auto& siblings = nodes_[*parent].children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
  }
  nodes_.erase(id);
}

void SimDesktop::removeElement(NodeID node) {
  std::lock_guard guard(lock_);
  eraseNode(node);
}

void SimDesktop::closeWindow(WindowNumber window) {
  std::lock_guard guard(lock_);
  auto found = std::find_if(windows_.begin(), windows_.end(), [&](const Window& w) { return w.id == window; });
  if (found == windows_.end()) return;
  eraseNode(found->node);
  windows_.erase(found);
}

void SimDesktop::moveToFront(WindowNumber window) {
  std::lock_guard guard(lock_);
  auto found = std::find_if(windows_.begin(), windows_.end(), [&](const Window& w) { return w.id == window; });
  if (found != windows_.end()) std::rotate(windows_.begin(), found, found + 1);
}

void SimDesktop::setWindowFrame(WindowNumber window, Rect frame) {
  std::lock_guard guard(lock_);
  for (auto& w : windows_) {
    if (w.id == window) w.traits.frame = frame;
  }
}

void SimDesktop::setMinimized(WindowNumber window, bool minimized) {
  std::lock_guard guard(lock_);
  for (auto& w : windows_) {
    if (w.id == window) w.traits.minimized = minimized;
  }
}

void SimDesktop::setHidden(pid_t pid, bool hidden) {
  std::lock_guard guard(lock_);
  apps_.at(pid).record.hidden = hidden;
}

void SimDesktop::setFront(pid_t pid) {
  std::lock_guard guard(lock_);
  front_ = pid;
}

void SimDesktop::setVisibleSpaces(std::set<SpaceID> spaces) {
  std::lock_guard guard(lock_);
  visibleSpaces_ = std::move(spaces);
}

void SimDesktop::setMainWindow(pid_t pid, WindowNumber window) {
  std::lock_guard guard(lock_);
  apps_.at(pid).mainWindow = window;
}

void SimDesktop::install(Installed installed) {
  std::lock_guard guard(lock_);
  installed.windowDelays.resize(installed.windows.size(), 0.5);
  installed_.push_back(std::move(installed));
}

SimDesktop::NodeID SimDesktop::appNode(pid_t pid) const {
  std::lock_guard guard(lock_);
  return apps_.at(pid).node;
}

SimDesktop::NodeID SimDesktop::windowNode(WindowNumber window) const {
  std::lock_guard guard(lock_);
  for (const auto& w : windows_) {
    if (w.id == window) return w.node;
  }
  return 0;
}

AXElement SimDesktop::element(NodeID node) const {
  std::lock_guard guard(lock_);
  return {nodes_.at(node).pid, idOf(node), 0};
}

WindowNumber SimDesktop::addFileDialog(pid_t owner, Rect frame) {
  pid_t service = addApp({"Open and Save Panel Service", "com.apple.appkit.xpc.openAndSavePanelService",
                          "/System/Library/Frameworks/AppKit.framework/Versions/C/XPCServices/"
                          "com.apple.appkit.xpc.openAndSavePanelService.xpc/Contents/MacOS/openAndSavePanelService",
                          "", ActivationPolicy::prohibited});
  addWindow(service, {"Open", frame, 0, false, 1, "AXDialog"});
  return addWindow(owner, {"Open", frame, 0, false, 1, "AXDialog"});
}

std::vector<std::string> SimDesktop::writes(pid_t pid) const {
  std::lock_guard guard(lock_);
  return apps_.at(pid).writes;
}

int SimDesktop::remoteTokenRequests() const {
  std::lock_guard guard(lock_);
  return remoteTokenRequests_;
}

// ---- clock

double SimDesktop::now() {
  std::lock_guard guard(lock_);
  return now_;
}

void SimDesktop::sleep(double seconds) {
  std::lock_guard guard(lock_);
  if (seconds > 0) now_ += seconds;
}

// ---- model rules

const SimDesktop::Node* SimDesktop::find(const AXElement& element) const {
  auto id = nodeOf(element);
  if (!id) return nullptr;
  auto found = nodes_.find(*id);
  return found == nodes_.end() ? nullptr : &found->second;
}

const SimDesktop::Window* SimDesktop::windowOf(const Node& node) const {
  if (!node.window) return nullptr;
  for (const auto& w : windows_) {
    if (w.id == *node.window) return &w;
  }
  return nullptr;
}

// Shown at all: launched windows appear after their delay.
bool SimDesktop::isShown(const Window& window) const { return now_ >= window.appearsAt; }

bool SimDesktop::isOnScreen(const Window& window) const {
  const App& app = apps_.at(window.pid);
  bool onVisibleSpace = window.traits.space == 0 || visibleSpaces_.contains(window.traits.space);
  return isShown(window) && !window.traits.minimized && !app.record.hidden && onVisibleSpace && window.traits.alpha > 0;
}

void SimDesktop::makeWebContent(App& app) {
  if (app.webContentMade || !app.webContentAt || now_ < *app.webContentAt) return;
  app.webContentMade = true;
  for (const auto& window : windows_) {
    if (window.pid != app.record.pid) continue;
    NodeID web = newNode(app.record.pid, "AXWebArea", window.node);
    nodes_[web].attributes["AXTitle"] = window.traits.title;
    NodeID text = newNode(app.record.pid, "AXStaticText", web);
    nodes_[text].attributes["AXValue"] = std::string("Page content");
  }
}

std::optional<AXValue> SimDesktop::computed(const Node& node, const std::string& name) {
  auto elementOf = [&](NodeID id) { return AXElement{nodes_.at(id).pid, idOf(id), 0}; };
  App& app = apps_.at(node.pid);
  makeWebContent(app);
  if (name == "AXRole") return node.role;
  if (name == "AXChildren") {
    std::vector<AXElement> children;
    for (NodeID child : node.children) {
      const Node& each = nodes_.at(child);
      if (const Window* window = windowOf(each); window && !isShown(*window)) continue;
      children.push_back(elementOf(child));
    }
    return children;
  }
  if (name == "AXParent" && node.parent) return elementOf(*node.parent);
  if (const Window* window = windowOf(node)) {
    if (name == "AXPosition") return window->traits.frame.origin;
    if (name == "AXSize") return window->traits.frame.size;
    if (name == "AXTitle") return window->traits.title;
    if (name == "AXMinimized") return window->traits.minimized;
  }
  if (node.role == "AXApplication") {
    // Like the real AXWindows: windows on Spaces not shown now are not listed.
    std::vector<AXElement> listed;
    for (const auto& window : windows_) {
      bool onVisibleSpace = window.traits.space == 0 || visibleSpaces_.contains(window.traits.space);
      if (window.pid == node.pid && isShown(window) && onVisibleSpace) listed.push_back(elementOf(window.node));
    }
    if (name == "AXWindows") return listed;
    if (name == "AXHidden") return app.record.hidden;
    if (name == "AXMainWindow" || name == "AXFocusedWindow") {
      for (const auto& window : windows_) {
        if (window.pid == node.pid && app.mainWindow == window.id) return elementOf(window.node);
      }
      if (!listed.empty()) return listed.front();
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<AXStatus> SimDesktop::answerCost(const AXElement& element) {
  now_ += callCost;
  auto app = apps_.find(element.pid);
  if (app != apps_.end() && app->second.traits.unresponsive) {
    now_ += element.timeout > 0 ? element.timeout : defaultMessagingTimeout;
    return AXError::cannotComplete;
  }
  if (!find(element)) return AXError::invalidElement;
  return std::nullopt;
}

// ---- Accessibility

AXElement SimDesktop::application(pid_t pid) {
  std::lock_guard guard(lock_);
  auto app = apps_.find(pid);
  // An element for a process without an app answers every call with invalid element.
  return {pid, app == apps_.end() ? std::string("none") : idOf(app->second.node), 0};
}

std::pair<AXStatus, AXValue> SimDesktop::copyAttribute(const AXElement& element, const std::string& name) {
  std::lock_guard guard(lock_);
  if (auto failure = answerCost(element)) return {*failure, {}};
  const Node& node = *find(element);
  if (auto value = computed(node, name)) return {AXError::success, *value};
  auto stored = node.attributes.find(name);
  if (stored == node.attributes.end()) return {AXError::attributeUnsupported, {}};
  return {AXError::success, stored->second};
}

std::optional<std::vector<std::optional<AXValue>>> SimDesktop::copyAttributes(const AXElement& element,
                                                                              const std::vector<std::string>& names) {
  std::lock_guard guard(lock_);
  if (answerCost(element)) return std::nullopt;
  const Node& node = *find(element);
  std::vector<std::optional<AXValue>> values;
  for (const auto& name : names) {
    if (auto value = computed(node, name)) {
      values.push_back(*value);
    } else if (auto stored = node.attributes.find(name); stored != node.attributes.end()) {
      values.push_back(stored->second);
    } else {
      values.push_back(std::nullopt);
    }
  }
  return values;
}

std::optional<bool> SimDesktop::isSettable(const AXElement& element, const std::string& name) {
  std::lock_guard guard(lock_);
  if (answerCost(element)) return std::nullopt;
  return find(element)->settable.contains(name);
}

AXStatus SimDesktop::setAttribute(const AXElement& element, const std::string& name, const AXValue& value) {
  std::lock_guard guard(lock_);
  if (auto app = apps_.find(element.pid); app != apps_.end()) app->second.writes.push_back(name);
  if (auto failure = answerCost(element)) return *failure;
  NodeID id = *nodeOf(element);
  Node& node = nodes_.at(id);
  App& app = apps_.at(node.pid);
  if (node.role == "AXApplication" && (name == "AXManualAccessibility" || name == "AXEnhancedUserInterface")) {
    // Electron listens to the manual switch only; browsers to either.
    bool switchesOn = app.traits.lazyWebContent && (name == "AXManualAccessibility" || !app.traits.electron);
    if (switchesOn && !app.webContentAt) app.webContentAt = now_ + webContentDelay;
    return AXError::success;
  }
  if (!node.settable.contains(name)) return AXError::attributeUnsupported;
  for (auto& window : windows_) {
    if (window.node != id) continue;
    if (name == "AXPosition" && std::holds_alternative<Point>(value)) window.traits.frame.origin = std::get<Point>(value);
    if (name == "AXSize" && std::holds_alternative<Size>(value)) window.traits.frame.size = std::get<Size>(value);
    if (name == "AXMinimized" && std::holds_alternative<bool>(value)) window.traits.minimized = std::get<bool>(value);
    return AXError::success;
  }
  node.attributes[name] = value;
  return AXError::success;
}

std::optional<std::vector<std::string>> SimDesktop::actionNames(const AXElement& element) {
  std::lock_guard guard(lock_);
  if (answerCost(element)) return std::nullopt;
  return find(element)->actions;
}

AXStatus SimDesktop::perform(const AXElement& element, const std::string& action) {
  std::lock_guard guard(lock_);
  if (auto failure = answerCost(element)) return *failure;
  const Node& node = *find(element);
  if (std::find(node.actions.begin(), node.actions.end(), action) == node.actions.end()) {
    return AXError::actionUnsupported;
  }
  if (auto effect = node.effects.find(action); effect != node.effects.end()) {
    auto run = effect->second;  // the effect may change the node
    run();
  }
  return AXError::success;
}

std::optional<WindowNumber> SimDesktop::windowNumber(const AXElement& element) {
  std::lock_guard guard(lock_);
  if (answerCost(element)) return std::nullopt;
  return find(element)->window;
}

std::optional<AXElement> SimDesktop::elementFromRemoteToken(const std::array<uint8_t, 20>& token) {
  std::lock_guard guard(lock_);
  ++remoteTokenRequests_;
  now_ += remoteTokenCost;
  auto read = [&](size_t offset, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint64_t(token[offset + i]) << (8 * i);
    return value;
  };
  pid_t pid = static_cast<pid_t>(read(0, 4));
  if (read(8, 4) != 0x636F636F) return std::nullopt;
  uint64_t index = read(12, 8);
  auto app = apps_.find(pid);
  if (app == apps_.end() || index >= app->second.nodesInOrder.size()) return std::nullopt;
  NodeID node = app->second.nodesInOrder[index];
  if (!nodes_.contains(node)) return std::nullopt;
  return AXElement{pid, idOf(node), 0};
}

// ---- WindowServer

Json SimDesktop::windowList(uint32_t options, WindowNumber relativeTo) {
  std::lock_guard guard(lock_);
  Json list = Json::array();
  for (const auto& window : windows_) {
    if (!isShown(window)) continue;
    bool onScreen = isOnScreen(window);
    if ((options & WindowListOption::onScreenOnly) && !onScreen) continue;
    if ((options & WindowListOption::includingWindow) && !(options & WindowListOption::onScreenOnly) &&
        window.id != relativeTo) {
      continue;
    }
    const Rect& f = window.traits.frame;
    list.push_back({{WindowKey::number, window.id},
                    {WindowKey::ownerPID, window.pid},
                    {WindowKey::ownerName, apps_.at(window.pid).record.name},
                    {WindowKey::name, window.traits.title},
                    {WindowKey::bounds, {{"X", f.origin.x}, {"Y", f.origin.y}, {"Width", f.size.width}, {"Height", f.size.height}}},
                    {WindowKey::layer, window.traits.layer},
                    {WindowKey::isOnscreen, onScreen},
                    {WindowKey::alpha, window.traits.alpha}});
  }
  return list;
}

std::optional<pid_t> SimDesktop::frontProcess() {
  std::lock_guard guard(lock_);
  return front_;
}

std::optional<pid_t> SimDesktop::keyFocusProcess() { return frontProcess(); }

std::vector<SpaceID> SimDesktop::spaces(WindowNumber window) {
  std::lock_guard guard(lock_);
  for (const auto& w : windows_) {
    if (w.id == window && w.traits.space != 0) return {w.traits.space};
  }
  return {};
}

std::set<SpaceID> SimDesktop::visibleSpaces() {
  std::lock_guard guard(lock_);
  return visibleSpaces_;
}

std::vector<DisplayInfo> SimDesktop::displays() { return {{1, {{0, 0}, {1440, 900}}, true}}; }

// ---- Workspace

std::vector<AppRecord> SimDesktop::runningApplications() {
  std::lock_guard guard(lock_);
  std::vector<AppRecord> records;
  for (const auto& [pid, app] : apps_) {
    if (!app.record.terminated) records.push_back(app.record);
  }
  return records;
}

std::optional<pid_t> SimDesktop::frontmostApplication() { return frontProcess(); }

SimDesktop::LaunchOutcome SimDesktop::launch(const LaunchRequest& request) {
  std::lock_guard guard(lock_);
  std::string executable = request.location;
  if (executable.ends_with(".desktop")) {
    auto entry = DesktopEntry::read(executable);
    if (!entry) return {std::nullopt, "the desktop file cannot be read"};
    executable = entry->exec.front();
  }
  for (const auto& [pid, app] : apps_) {
    if (!app.record.terminated && app.record.executable == executable) return {pid, ""};
  }
  for (const auto& installed : installed_) {
    if (installed.app.executable != executable) continue;
    pid_t pid = addApp(installed.app);
    for (size_t i = 0; i < installed.windows.size(); ++i) {
      WindowNumber number = addWindow(pid, installed.windows[i]);
      windows_.front().appearsAt = now_ + installed.windowDelays[i];
      (void)number;
    }
    return {pid, ""};
  }
  return {std::nullopt, "no such application is installed"};
}

std::optional<std::string> SimDesktop::findApplication(const std::string& query) {
  std::lock_guard guard(lock_);
  const std::string wanted = Text::lowered(query);
  for (const auto& installed : installed_) {
    if (Text::lowered(installed.app.bundleID) == wanted || Text::lowered(installed.app.name) == wanted) {
      return installed.app.executable;
    }
  }
  return std::nullopt;
}

void SimDesktop::requestQuit(pid_t pid) {
  std::lock_guard guard(lock_);
  auto app = apps_.find(pid);
  if (app == apps_.end()) return;
  app->second.record.terminated = true;
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (it->pid == pid) {
      eraseNode(it->node);
      it = windows_.erase(it);
    } else {
      ++it;
    }
  }
}

std::string SimDesktop::executablePath(pid_t pid) {
  std::lock_guard guard(lock_);
  auto app = apps_.find(pid);
  return app == apps_.end() ? "" : app->second.record.executable;
}
