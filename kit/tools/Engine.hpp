#pragma once
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "kit/perception/RunningApp.hpp"
#include "kit/perception/Snapshot.hpp"
#include "kit/platform/WindowInfo.hpp"
#include "kit/tools/AgentSession.hpp"
#include "kit/tools/CursorPresenter.hpp"
#include "kit/tools/ToolResult.hpp"

// The per-connection tool engine. Process-wide state lives in shared services, not here.
// Operations fail with a ToolError.
class Engine {
 public:
  // The resolved place of an input action.
  struct Target {
    RunningApp app;
    WindowInfo window;
    SnapshotRef snapshot;
  };

  Engine(std::shared_ptr<AgentSession> session, std::weak_ptr<CursorPresenter> presenter)
      : session(std::move(session)), presenter(std::move(presenter)) {}

  ToolResult listApps();
  ToolResult launchApp(const std::string& app, const std::optional<std::string>& open);
  ToolResult getAppState(const std::string& app, std::optional<WindowNumber> windowID, bool changesOnly);
  ToolResult stateAfterAction(const RunningApp& app, const std::set<WindowNumber>& windowsBefore, bool mayNavigate);

  // The app and window an input action goes to, as operated (on the backstage when
  // covered); it becomes the window the after-action state reports.
  Target inputTarget(const std::string& app, std::optional<WindowNumber> windowID);

  // Input is never sent to the app that hosts the agents.
  static void checkInputAllowed(const RunningApp& app);

  std::shared_ptr<AgentSession> session;
  std::weak_ptr<CursorPresenter> presenter;
  std::optional<WindowNumber> lastInputWindow;
};
