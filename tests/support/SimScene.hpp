#pragma once
#include <memory>
#include <string>

#include "kit/common/Json.hpp"
#include "kit/tools/Engine.hpp"
#include "platform/sim/SimDesktop.hpp"

// A fresh simulated desktop installed as the platform, and an agent session to call tools with.
class SimScene {
 public:
  SimScene();
  SimDesktop& desktop() { return *desktop_; }
  SimDesktop* operator->() { return desktop_.get(); }

  // The text of a tool call's result, or of the error it failed with.
  std::string call(const std::string& tool, Json arguments = Json::object());
  double elapsed() { return desktop_->now() - start_; }
  RunningApp app(pid_t pid);
  Engine& engine() { return *engine_; }
  // Ends the agent's connection and starts a new one.
  void resetEngine();
  // A get_app_state result straight from the engine, changes only when asked.
  ToolResult state(pid_t pid, bool changesOnly = false, std::optional<WindowNumber> window = std::nullopt);

 private:
  std::shared_ptr<SimDesktop> desktop_ = std::make_shared<SimDesktop>();
  std::shared_ptr<AgentSession> session_ = std::make_shared<AgentSession>(1, "test", std::nullopt);
  std::unique_ptr<Engine> engine_ = std::make_unique<Engine>(session_, std::weak_ptr<CursorPresenter>());
  double start_;
};
