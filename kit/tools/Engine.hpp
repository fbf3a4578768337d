#pragma once
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/perception/RunningApp.hpp"
#include "kit/perception/Snapshot.hpp"
#include "kit/perception/WindowInfo.hpp"
#include "kit/tools/AgentSession.hpp"
#include "kit/tools/CursorPresenter.hpp"
#include "kit/tools/MouseButton.hpp"
#include "kit/tools/ToolResult.hpp"

// The per-connection tool engine. Process-wide state lives in shared services, not here.
// Operations fail with a ToolError; those this build lacks throw NotBuilt.
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
  // The window as it is to be operated: on the backstage when the user's windows cover it.
  static WindowInfo onStage(const WindowInfo& window);
  // True when the window's page finished loading (or it has none); false after 5 seconds.
  static bool waitForPageLoad(const WindowInfo& window);
  static std::optional<std::vector<std::string>> menuBarTitles(pid_t pid);
  static bool lacksPage(const std::vector<ElementRecord>& records);
  static std::optional<AXElement> axWindow(const WindowInfo& window);
  static Rect screenBounds(const WindowInfo& window);
  // Waits for a navigation that the last action may have started, then for its load.
  static void awaitNavigation(const WindowInfo& window, const std::vector<ElementRecord>& chromeButtons);

  // Warms the app's accessibility tree up before its state is read; the walk runs once per process.
  static void prepareAccessibility(const RunningApp& app, const WindowInfo& window);
  ToolResult stateAfterAction(const RunningApp& app, const std::set<WindowNumber>& windowsBefore, bool mayNavigate);

  Target inputTarget(const std::string& app, std::optional<WindowNumber> windowID);
  bool isOnCurrentSpace(const WindowInfo& window);
  ToolResult performClick(const Target& target, std::optional<int64_t> elementIndex, std::optional<double> x,
                          std::optional<double> y, MouseButton button, int count,
                          const std::optional<std::string>& keys, double hold);
  std::string pickFromOpenMenu(const std::string& title, pid_t pid);
  // The element's live frame, else the frame recorded when it was listed.
  std::optional<Rect> elementFrame(int64_t index, const Target& target);
  Point screenPoint(double x, double y, const Target& target);
  void travel(Point to, const Target& target, double size, bool pulse);

  ToolResult drag(const std::string& app, std::optional<WindowNumber> windowID, Point from, Point to,
                  const std::vector<std::pair<double, double>>& through, MouseButton button,
                  const std::optional<std::string>& keys, std::optional<double> duration,
                  const std::optional<std::string>& toApp, std::optional<WindowNumber> toWindowID);
  ToolResult scroll(const std::string& app, std::optional<WindowNumber> windowID, std::optional<int64_t> elementIndex,
                    std::optional<double> x, std::optional<double> y, const std::string& direction, double pages);
  ToolResult typeText(const std::string& app, std::optional<WindowNumber> windowID, const std::string& text);

  // The key text as chords; fails with the chord parser's message.
  std::vector<std::string> validateChords(const std::string& keyText);
  bool isRemotePanel(const WindowInfo& window);
  ToolResult panelKeys(const std::vector<std::string>& chords, const std::string& keyText, const Target& target);
  void pressKey(const std::vector<std::string>& chords, double hold, const Target& target);

  ToolResult setValue(const std::string& value, int64_t elementIndex, const Target& target);
  ToolResult selectText(const std::string& app, std::optional<WindowNumber> windowID, int64_t elementIndex,
                        const std::string& text, const std::optional<std::string>& prefix,
                        const std::optional<std::string>& suffix, const std::string& mode);
  ToolResult performAction(const std::string& app, std::optional<WindowNumber> windowID, int64_t elementIndex,
                           const std::string& action);
  ToolResult selectMenuItem(const std::string& app, std::optional<WindowNumber> windowID, const std::string& path);
  bool paste(const std::string& text, const Target& target);

  // Input is never sent to the app that hosts the agents.
  static void checkInputAllowed(const RunningApp& app);

  std::shared_ptr<AgentSession> session;
  std::weak_ptr<CursorPresenter> presenter;
  std::optional<WindowNumber> lastInputWindow;
};
