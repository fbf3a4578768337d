#pragma once
#include <map>

#include "kit/platform/AgentInput.hpp"
#include "platform/sim/SimModel.hpp"

// Agent devices on the simulated desktop: every event is recorded with the window it
// reached, and a click on an element runs what clicking it does (its "pointer click"
// effect, else the effect of the action the button stands for).
class SimInput : public AgentInput {
 public:
  explicit SimInput(SimModel& model) : model_(model) {}

  bool post(Agent agent, const AgentEvent& event) override;
  void take(Agent agent, const WindowInfo& window) override;
  void release(Agent agent, pid_t pid) override;
  void removeAgent(Agent agent) override;
  double userIdleSeconds() override;
  double userIdleSinceClick() override;
  std::optional<UserPress> userLastPress() override;
  void watchUser(std::function<void(UserInputKind)> callback) override;
  // A menu open in the app holds the keyboard.
  bool heldByApp(Agent agent, pid_t pid) override;
  bool secureInputEnabled() override;

  static constexpr const char* pointerClick = "pointer click";
  // What an element does when an agent presses a button on it (an app that starts a
  // system drag shows a drag-layer window here).
  static constexpr const char* pointerPressed = "pointer pressed";
  // What an app (its application element) does with each key an agent presses in it.
  static constexpr const char* keyPressed = "key pressed";
  // What the element pressed does when the pointer moved before the release.
  static constexpr const char* pointerDragged = "pointer dragged";
  // What an element (or the nearest ancestor that has one) does with an agent's wheel event.
  static constexpr const char* wheelTurned = "wheel turned";

 private:
  // The wheel effect of the element at the point or its nearest ancestor with one; expects the model locked.
  std::function<void()> wheelEffect(const SimModel::Window& window, Point point);
  // What the button's release runs; expects the model locked.
  std::function<void()> releaseEffect(AgentInput::Agent agent, const SimModel::Window& window, const AgentEvent& event);
  SimModel& model_;
  // The element each agent's held button went down on, and whether it moved since.
  struct Held {
    std::optional<SimModel::NodeID> node;
    bool moved = false;
  };
  std::map<AgentInput::Agent, Held> held_;
};
