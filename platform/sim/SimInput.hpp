#pragma once
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

  static constexpr const char* pointerClick = "pointer click";
  // What an element (or the nearest ancestor that has one) does with an agent's wheel event.
  static constexpr const char* wheelTurned = "wheel turned";

 private:
  // The wheel effect of the element at the point or its nearest ancestor with one; expects the model locked.
  std::function<void()> wheelEffect(const SimModel::Window& window, Point point);
  SimModel& model_;
};
