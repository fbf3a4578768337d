#include "platform/sim/SimDesktop.hpp"

#include <algorithm>

#include "platform/sim/SimText.hpp"

pid_t SimDesktop::addApp(AppTraits traits) {
  std::lock_guard guard(model_.lock);
  return model_.addApp(traits);
}

WindowNumber SimDesktop::addWindow(pid_t pid, WindowTraits traits) {
  std::lock_guard guard(model_.lock);
  return model_.addWindow(pid, traits);
}

void SimDesktop::beginDragWithoutImage(pid_t pid) {
  std::lock_guard guard(model_.lock);
  SimModel::App& app = model_.apps.at(pid);
  ++app.dragsBegun;
  app.holdsDragData = true;
}

SimDesktop::NodeID SimDesktop::addElement(NodeID parent, const std::string& role,
                                          std::map<std::string, AXValue> attributes, std::vector<std::string> actions) {
  std::lock_guard guard(model_.lock);
  NodeID id = model_.newNode(model_.nodes.at(parent).pid, role, parent);
  model_.nodes[id].attributes = std::move(attributes);
  model_.nodes[id].actions = std::move(actions);
  return id;
}

void SimDesktop::setValue(NodeID node, const std::string& name, AXValue value) {
  std::lock_guard guard(model_.lock);
  model_.nodes.at(node).attributes[name] = std::move(value);
}

void SimDesktop::makeSettable(NodeID node, const std::string& name) {
  std::lock_guard guard(model_.lock);
  model_.nodes.at(node).settable.insert(name);
}

SimDesktop::NodeID SimDesktop::addFocusedField(NodeID parent, const std::string& role, const std::string& value) {
  NodeID field = addElement(parent, role,
                            {{"AXValue", value}, {"AXPosition", Point{120, 140}}, {"AXSize", Size{300, 30}},
                             {"AXFocused", true}});
  for (const char* name : {"AXValue", "AXSelectedTextRange", "AXSelectedText", "AXFocused"}) makeSettable(field, name);
  std::lock_guard guard(model_.lock);
  model_.nodes.at(model_.apps.at(model_.nodes.at(field).pid).node).attributes["AXFocusedUIElement"] =
      model_.elementOf(field);
  return field;
}

std::string SimDesktop::text(NodeID node) const {
  std::lock_guard guard(model_.lock);
  return SimText::value(model_.nodes.at(node));
}

void SimDesktop::onAction(NodeID node, const std::string& action, std::function<void()> effect) {
  std::lock_guard guard(model_.lock);
  SimModel::Node& target = model_.nodes.at(node);
  if (std::find(target.actions.begin(), target.actions.end(), action) == target.actions.end()) {
    target.actions.push_back(action);
  }
  target.effects[action] = std::move(effect);
}

void SimDesktop::removeElement(NodeID node) {
  std::lock_guard guard(model_.lock);
  model_.eraseNode(node);
}

void SimDesktop::reorderChildren(NodeID parent, std::vector<NodeID> order) {
  std::lock_guard guard(model_.lock);
  model_.nodes.at(parent).children = std::move(order);
}

void SimDesktop::closeWindow(WindowNumber window) {
  std::lock_guard guard(model_.lock);
  auto& windows = model_.windows;
  auto found = std::find_if(windows.begin(), windows.end(), [&](const SimModel::Window& w) { return w.id == window; });
  if (found == windows.end()) return;
  model_.eraseNode(found->node);
  windows.erase(found);
}

void SimDesktop::moveToFront(WindowNumber window) {
  std::lock_guard guard(model_.lock);
  model_.raise(window);
}

void SimDesktop::setWindowFrame(WindowNumber window, Rect frame) {
  std::lock_guard guard(model_.lock);
  if (auto* found = model_.window(window)) {
    model_.moveWindow(*found, frame.origin);
    found->traits.frame.size = frame.size;
  }
}

void SimDesktop::setMinimized(WindowNumber window, bool minimized) {
  std::lock_guard guard(model_.lock);
  if (auto* found = model_.window(window)) found->traits.minimized = minimized;
}

void SimDesktop::setHidden(pid_t pid, bool hidden) {
  std::lock_guard guard(model_.lock);
  model_.apps.at(pid).record.hidden = hidden;
}

void SimDesktop::setFront(pid_t pid) {
  std::lock_guard guard(model_.lock);
  model_.front = pid;
}

void SimDesktop::setVisibleSpaces(std::set<SpaceID> spaces) {
  std::lock_guard guard(model_.lock);
  model_.visibleSpaces = std::move(spaces);
}

void SimDesktop::setMainWindow(pid_t pid, WindowNumber window) {
  std::lock_guard guard(model_.lock);
  model_.apps.at(pid).mainWindow = window;
}

void SimDesktop::install(Installed installed) {
  std::lock_guard guard(model_.lock);
  installed.windowDelays.resize(installed.windows.size(), 0.5);
  model_.installed.push_back(std::move(installed));
}

void SimDesktop::setCallCost(double seconds) {
  std::lock_guard guard(model_.lock);
  model_.callCost = seconds;
}

void SimDesktop::refuseCapture(std::string reason) {
  std::lock_guard guard(model_.lock);
  model_.captureRefusal = std::move(reason);
}

SimDesktop::NodeID SimDesktop::appNode(pid_t pid) const {
  std::lock_guard guard(model_.lock);
  return model_.apps.at(pid).node;
}

SimDesktop::NodeID SimDesktop::windowNode(WindowNumber window) const {
  std::lock_guard guard(model_.lock);
  const auto* found = model_.window(window);
  return found ? found->node : 0;
}

AXElement SimDesktop::element(NodeID node) const {
  std::lock_guard guard(model_.lock);
  return model_.elementOf(node);
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
  std::lock_guard guard(model_.lock);
  return model_.apps.at(pid).writes;
}

int SimDesktop::remoteTokenRequests() const {
  std::lock_guard guard(model_.lock);
  return model_.remoteTokenRequests;
}

void SimDesktop::userPresses(UserInputKind kind) {
  std::function<void(UserInputKind)> watcher;
  {
    std::lock_guard guard(model_.lock);
    watcher = model_.notePress(kind);
  }
  if (watcher) watcher(kind);
}

void SimDesktop::setSecureInput(bool on) {
  std::lock_guard guard(model_.lock);
  model_.secureInput = on;
}

// The press is recorded with the front and stacking change it causes, under one lock: a
// watchdog that sees the new front app must also see that the user pressed.
void SimDesktop::userClicks(WindowNumber window) {
  std::function<void(UserInputKind)> watcher;
  {
    std::lock_guard guard(model_.lock);
    if (const SimModel::Window* found = model_.window(window)) {
      model_.front = found->pid;
      model_.lastUserPressPoint = found->traits.frame.center();
      model_.lastUserPressTime = model_.now;
    }
    model_.raise(window);
    watcher = model_.notePress(UserInputKind::button);
  }
  if (watcher) watcher(UserInputKind::button);
}

void SimDesktop::userClicksAt(Point point) {
  std::function<void(UserInputKind)> watcher;
  {
    std::lock_guard guard(model_.lock);
    model_.lastUserPressPoint = point;
    model_.lastUserPressTime = model_.now;
    if (const SimModel::Window* found = model_.windowAt(point)) {
      model_.front = found->pid;
      model_.raise(found->id);
    }
    watcher = model_.notePress(UserInputKind::button);
  }
  if (watcher) watcher(UserInputKind::button);
}

void SimDesktop::at(double time, std::function<void()> action) {
  std::lock_guard guard(model_.lock);
  model_.scheduled.push_back({time, std::move(action)});
}

Point SimDesktop::userPointer() const {
  std::lock_guard guard(model_.lock);
  return model_.userPointer;
}

std::vector<SimModel::Posted> SimDesktop::posted() const {
  std::lock_guard guard(model_.lock);
  return model_.posted;
}

std::optional<AgentInput::Agent> SimDesktop::clientPointer(pid_t pid) const {
  std::lock_guard guard(model_.lock);
  auto found = model_.clientPointers.find(pid);
  if (found == model_.clientPointers.end()) return std::nullopt;
  return found->second;
}

bool SimDesktop::agentRemoved(AgentInput::Agent agent) const {
  std::lock_guard guard(model_.lock);
  return model_.removedAgents.contains(agent);
}

void SimDesktop::loseInvisibleDisplays() {
  std::lock_guard guard(model_.lock);
  std::erase_if(model_.displays, [](const DisplayInfo& display) { return display.isInvisible; });
}

std::optional<SimModel::Overlay> SimDesktop::overlay(WindowNumber overlay) const {
  std::lock_guard guard(model_.lock);
  auto found = model_.overlays.find(overlay);
  if (found == model_.overlays.end()) return std::nullopt;
  return found->second;
}
