#include "platform/sim/SimAccessibility.hpp"

#include <algorithm>

#include "platform/sim/SimText.hpp"

namespace {

constexpr double webContentDelay = 0.6;
constexpr double remoteTokenCost = 0.00005;

}  // namespace

AXElement SimAccessibility::application(pid_t pid) {
  std::lock_guard guard(model_.lock);
  auto app = model_.apps.find(pid);
  // An element for a process without an app answers every call with invalid element.
  return {pid, app == model_.apps.end() ? std::string("none") : SimModel::idOf(app->second.node), 0};
}

std::pair<AXStatus, AXValue> SimAccessibility::copyAttribute(const AXElement& element, const std::string& name) {
  std::lock_guard guard(model_.lock);
  if (auto failure = model_.answerCost(element)) return {*failure, {}};
  const SimModel::Node& node = *model_.find(element);
  if (auto value = model_.computed(node, name)) return {AXError::success, *value};
  auto stored = node.attributes.find(name);
  if (stored == node.attributes.end()) return {AXError::attributeUnsupported, {}};
  return {AXError::success, stored->second};
}

std::pair<AXStatus, AXValue> SimAccessibility::copyParameterizedAttribute(const AXElement& element,
                                                                         const std::string& name,
                                                                         const AXValue& parameter) {
  std::lock_guard guard(model_.lock);
  if (auto failure = model_.answerCost(element)) return {*failure, {}};
  const SimModel::Node& node = *model_.find(element);
  if (!node.attributes.contains("AXValue") || !std::holds_alternative<std::string>(node.attributes.at("AXValue")))
    return {AXError::attributeUnsupported, {}};
  auto answer = [](auto found) -> std::pair<AXStatus, AXValue> {
    if (!found) return {AXError::noValue, {}};
    return {AXError::success, *found};
  };
  if (name == "AXRangeForPosition" && std::holds_alternative<Point>(parameter))
    return answer(SimText::rangeAt(node, std::get<Point>(parameter)));
  if (!std::holds_alternative<TextRange>(parameter)) return {AXError::illegalArgument, {}};
  const TextRange range = std::get<TextRange>(parameter);
  if (name == "AXBoundsForRange") return answer(SimText::bounds(node, range));
  if (name == "AXStyleForRange") return answer(SimText::style(node));
  return {AXError::attributeUnsupported, {}};
}

std::optional<std::vector<std::optional<AXValue>>> SimAccessibility::copyAttributes(
    const AXElement& element, const std::vector<std::string>& names) {
  std::lock_guard guard(model_.lock);
  if (model_.answerCost(element)) return std::nullopt;
  const SimModel::Node& node = *model_.find(element);
  std::vector<std::optional<AXValue>> values;
  for (const auto& name : names) {
    if (auto value = model_.computed(node, name)) {
      values.push_back(*value);
    } else if (auto stored = node.attributes.find(name); stored != node.attributes.end()) {
      values.push_back(stored->second);
    } else {
      values.push_back(std::nullopt);
    }
  }
  return values;
}

std::optional<bool> SimAccessibility::isSettable(const AXElement& element, const std::string& name) {
  std::lock_guard guard(model_.lock);
  if (model_.answerCost(element)) return std::nullopt;
  return model_.find(element)->settable.contains(name);
}

AXStatus SimAccessibility::setAttribute(const AXElement& element, const std::string& name, const AXValue& value) {
  std::lock_guard guard(model_.lock);
  if (auto app = model_.apps.find(element.pid); app != model_.apps.end()) app->second.writes.push_back(name);
  if (auto failure = model_.answerCost(element)) return *failure;
  SimModel::NodeID id = *SimModel::nodeOf(element);
  SimModel::Node& node = model_.nodes.at(id);
  SimModel::App& app = model_.apps.at(node.pid);
  if (node.role == "AXApplication" && (name == "AXManualAccessibility" || name == "AXEnhancedUserInterface")) {
    // Electron listens to the manual switch only; browsers to either.
    bool switchesOn = app.traits.lazyWebContent && (name == "AXManualAccessibility" || !app.traits.electron);
    if (switchesOn && !app.webContentAt) app.webContentAt = model_.now + webContentDelay;
    return AXError::success;
  }
  if (!node.settable.contains(name)) return AXError::attributeUnsupported;
  for (auto& window : model_.windows) {
    if (window.node != id) continue;
    if (name == "AXPosition" && std::holds_alternative<Point>(value)) model_.moveWindow(window, std::get<Point>(value));
    if (name == "AXSize" && std::holds_alternative<Size>(value)) window.traits.frame.size = std::get<Size>(value);
    if (name == "AXMinimized" && std::holds_alternative<bool>(value)) window.traits.minimized = std::get<bool>(value);
    return AXError::success;
  }
  if (name == "AXSelectedText" && std::holds_alternative<std::string>(value)) {
    SimText::replaceSelection(node, std::get<std::string>(value));
    return AXError::success;
  }
  node.attributes[name] = value;
  return AXError::success;
}

std::optional<std::vector<std::string>> SimAccessibility::actionNames(const AXElement& element) {
  std::lock_guard guard(model_.lock);
  if (model_.answerCost(element)) return std::nullopt;
  return model_.find(element)->actions;
}

AXStatus SimAccessibility::perform(const AXElement& element, const std::string& action) {
  std::function<void()> effect;
  {
    std::lock_guard guard(model_.lock);
    if (auto failure = model_.answerCost(element)) return *failure;
    const SimModel::Node& node = *model_.find(element);
    if (std::find(node.actions.begin(), node.actions.end(), action) == node.actions.end()) {
      return AXError::actionUnsupported;
    }
    if (auto found = node.effects.find(action); found != node.effects.end()) {
      effect = found->second;
    } else if (action == "AXRaise" && node.window) {
      model_.raise(*node.window);  // raised, not activated
    }
  }
  if (effect) effect();  // outside the lock: effects change the scene
  return AXError::success;
}

std::optional<AXElement> SimAccessibility::elementAt(pid_t pid, Point point) {
  std::lock_guard guard(model_.lock);
  for (const auto& window : model_.windows) {
    if (window.pid != pid || !window.traits.frame.contains(point)) continue;
    auto hit = model_.elementAt(window, point);
    return model_.elementOf(hit.value_or(window.node));
  }
  return std::nullopt;
}

std::optional<WindowNumber> SimAccessibility::windowNumber(const AXElement& element) {
  std::lock_guard guard(model_.lock);
  if (model_.answerCost(element)) return std::nullopt;
  return model_.find(element)->window;
}

std::optional<AXElement> SimAccessibility::elementFromRemoteToken(const std::array<uint8_t, 20>& token) {
  std::lock_guard guard(model_.lock);
  ++model_.remoteTokenRequests;
  model_.now += remoteTokenCost;
  auto read = [&](size_t offset, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint64_t(token[offset + i]) << (8 * i);
    return value;
  };
  pid_t pid = static_cast<pid_t>(read(0, 4));
  if (read(8, 4) != 0x636F636F) return std::nullopt;
  uint64_t index = read(12, 8);
  auto app = model_.apps.find(pid);
  if (app == model_.apps.end() || index >= app->second.nodesInOrder.size()) return std::nullopt;
  SimModel::NodeID node = app->second.nodesInOrder[index];
  if (!model_.nodes.contains(node)) return std::nullopt;
  return AXElement{pid, SimModel::idOf(node), 0};
}
