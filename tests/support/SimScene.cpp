#include "tests/support/SimScene.hpp"

#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/tools/Tools.hpp"

SimScene::SimScene() : start_(desktop_->now()) {
  Platform::install(desktop_);
  WindowList::useHelper(nullptr);  // the simulated desktop lives in this process
}

std::string SimScene::call(const std::string& tool, Json arguments) {
  try {
    return Tools::call(tool, Arguments(std::move(arguments)), *engine_, [] { return false; }).text;
  } catch (const ToolError& error) {
    return error.description;
  }
}

RunningApp SimScene::app(pid_t pid) {
  for (const auto& app : desktop_->workspace().runningApplications()) {
    if (app.pid == pid) return app;
  }
  return {};
}

ToolResult SimScene::state(pid_t pid, bool changesOnly, std::optional<WindowNumber> window) {
  return engine_->getAppState(std::to_string(pid), window, changesOnly);
}

void SimScene::resetEngine() {
  engine_.reset();
  session_ = std::make_shared<AgentSession>(session_->id + 1, "test", std::nullopt);
  engine_ = std::make_unique<Engine>(session_, std::weak_ptr<CursorPresenter>());
}
