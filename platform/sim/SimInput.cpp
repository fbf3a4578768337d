#include "platform/sim/SimInput.hpp"

#include "platform/sim/SimKeyboardLayouts.hpp"
#include "platform/sim/SimText.hpp"

namespace {

const char* actionOf(MouseButton button) {
  switch (button) {
    case MouseButton::left: return "AXPress";
    case MouseButton::right: return "AXShowMenu";
    case MouseButton::middle: return "";
  }
  return "";
}

std::function<void()> effectOf(const SimModel& model, std::optional<SimModel::NodeID> node, const char* name) {
  if (!node) return {};
  const auto& effects = model.nodes.at(*node).effects;
  auto found = effects.find(name);
  return found == effects.end() ? std::function<void()>() : found->second;
}

// Escape ends the app's drag and drop: its drag image and its drag data go.
void cancelDrag(SimModel& model, const AgentEvent& event) {
  if (event.kind != AgentEvent::Kind::keyDown || event.keyCode != SimKeyboardLayouts::namedCode("Escape")) return;
  if (auto app = model.apps.find(event.pid); app != model.apps.end()) app->second.holdsDragData = false;
  std::erase_if(model.windows, [&](const SimModel::Window& window) {
    return window.pid == event.pid && window.traits.layer == dragLayer;
  });
}

// A key press reaches the app's focused field; a chord with Control, Alt or Super types nothing.
std::function<void()> typeInto(SimModel& model, const AgentEvent& event) {
  if (event.kind != AgentEvent::Kind::keyDown) return {};
  auto field = SimText::focusedField(model, event.pid);
  if (!field) return {};
  if (event.modifiers & (KeyModifier::control | KeyModifier::alt | KeyModifier::super)) return {};
  std::string text = event.text;
  if (text.empty() && event.keyCode < SimKeyboardLayouts::firstNamed)
    text = SimKeyboardLayouts().characters({event.keyCode, event.modifiers & KeyModifier::shift});
  SimModel::Node& node = model.nodes.at(*field);
  if (!SimText::press(node, text, event.keyCode)) return {};
  auto effect = node.effects.find(SimText::typedEffect);
  return effect == node.effects.end() ? std::function<void()>() : effect->second;
}

}  // namespace

bool SimInput::post(Agent agent, const AgentEvent& event) {
  std::function<void()> effect;
  {
    std::lock_guard guard(model_.lock);
    SimModel::Posted posted{agent, event, std::nullopt, model_.now};
    bool pointer = event.kind == AgentEvent::Kind::move || event.kind == AgentEvent::Kind::buttonDown ||
                   event.kind == AgentEvent::Kind::buttonUp || event.kind == AgentEvent::Kind::scroll;
    if (pointer) {
      model_.agentPointers[agent] = event.point;
      if (const SimModel::Window* hit = model_.windowAt(event.point)) {
        posted.reached = hit->id;
        if (event.kind == AgentEvent::Kind::buttonDown && model_.apps.at(hit->pid).traits.activatesOnClick) {
          model_.front = hit->pid;
          model_.raise(hit->id);
          hit = model_.window(posted.reached.value());
        }
        if (event.kind == AgentEvent::Kind::scroll) effect = wheelEffect(*hit, event.point);
        if (event.kind == AgentEvent::Kind::buttonDown) {
          held_[agent] = {model_.elementAt(*hit, event.point), false};
          effect = effectOf(model_, held_[agent].node, pointerPressed);
        }
        if (event.kind == AgentEvent::Kind::move && held_.contains(agent)) held_[agent].moved = true;
        if (event.kind == AgentEvent::Kind::buttonUp) effect = releaseEffect(agent, *hit, event);
      }
    }
    if (!pointer) {
      effect = typeInto(model_, event);
      cancelDrag(model_, event);
      auto app = model_.apps.find(event.pid);
      if (!effect && event.kind == AgentEvent::Kind::keyDown && app != model_.apps.end())
        effect = effectOf(model_, app->second.node, keyPressed);
    }
    model_.posted.push_back(posted);
  }
  if (effect) effect();
  return true;
}

std::function<void()> SimInput::releaseEffect(Agent agent, const SimModel::Window& window, const AgentEvent& event) {
  Held pressed = held_[agent];
  held_.erase(agent);
  if (pressed.moved) return effectOf(model_, pressed.node, pointerDragged);
  auto node = model_.elementAt(window, event.point);
  if (!node) return {};
  if (auto clicked = effectOf(model_, node, pointerClick)) return clicked;
  return effectOf(model_, node, actionOf(event.button));
}

std::function<void()> SimInput::wheelEffect(const SimModel::Window& window, Point point) {
  for (auto node = model_.elementAt(window, point); node; node = model_.nodes.at(*node).parent) {
    const auto& effects = model_.nodes.at(*node).effects;
    if (auto found = effects.find(wheelTurned); found != effects.end()) return found->second;
  }
  return {};
}

void SimInput::take(Agent agent, const WindowInfo& window) {
  std::lock_guard guard(model_.lock);
  model_.clientPointers[window.pid] = agent;
}

void SimInput::release(Agent agent, pid_t pid) {
  std::lock_guard guard(model_.lock);
  auto found = model_.clientPointers.find(pid);
  if (found != model_.clientPointers.end() && found->second == agent) model_.clientPointers.erase(found);
}

void SimInput::removeAgent(Agent agent) {
  std::lock_guard guard(model_.lock);
  model_.agentPointers.erase(agent);
  model_.removedAgents.insert(agent);
}

double SimInput::userIdleSeconds() {
  std::lock_guard guard(model_.lock);
  return model_.now - model_.lastUserInput;
}

double SimInput::userIdleSinceClick() {
  std::lock_guard guard(model_.lock);
  return model_.now - model_.lastUserClick;
}

std::optional<UserPress> SimInput::userLastPress() {
  std::lock_guard guard(model_.lock);
  if (!model_.lastUserPressPoint) return std::nullopt;
  return UserPress{*model_.lastUserPressPoint, model_.now - model_.lastUserPressTime};
}

void SimInput::watchUser(std::function<void(UserInputKind)> callback) {
  std::lock_guard guard(model_.lock);
  model_.userWatcher = std::move(callback);
}

bool SimInput::secureInputEnabled() {
  std::lock_guard guard(model_.lock);
  return model_.secureInput;
}

bool SimInput::heldByApp(Agent, pid_t pid) {
  std::lock_guard guard(model_.lock);
  auto app = model_.apps.find(pid);
  if (app == model_.apps.end()) return false;
  for (SimModel::NodeID child : model_.nodes.at(app->second.node).children)
    if (model_.nodes.at(child).role == "AXMenu") return true;
  return false;
}
