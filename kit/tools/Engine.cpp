#include "kit/tools/Engine.hpp"

#include "kit/backstage/Backstage.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/input/StackGuard.hpp"
#include "kit/perception/AfterAction.hpp"
#include "kit/perception/AppList.hpp"
#include "kit/perception/AppStateReport.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/Launching.hpp"
#include "kit/perception/Pages.hpp"

ToolResult Engine::listApps() { return {AppList::text(), std::nullopt}; }

ToolResult Engine::launchApp(const std::string& query, const std::optional<std::string>& open) {
  const std::string location = Launching::location(query);
  const auto target = Launching::openTarget(open);
  // The user's front and order from before the start; guarded from the moment the app's
  // process exists, before it can show a window.
  const auto front = Apps::frontmost();
  auto order = StackGuard::normalWindows();
  const pid_t pid = Launching::start(location, target);
  StackGuard guard(RunningApp{.pid = pid}, front, std::move(order), true);
  try {
    Launching::waitForWindows(pid);
  } catch (...) {
    guard.finish(StackGuard::Clock::now());
    throw;
  }
  guard.finish(StackGuard::Clock::now());
  return {Launching::report(pid, location), std::nullopt};
}

ToolResult Engine::getAppState(const std::string& appName, std::optional<WindowNumber> windowID, bool changesOnly) {
  const RunningApp app = Apps::resolve(appName);
  Backstage& backstage = Backstage::shared();
  const WindowInfo window = backstage.admit(Apps::targetWindow(app, windowID), session->id);
  const StageNotes stage{backstage.isGuest(window.id), backstage.recoveryStatus()};
  StateReport report = AppStateReport::read(app, window, changesOnly, session->snapshot(app.pid, window.id),
                                            session->nextElementIndex, stage);
  session->remember(report.snapshot);
  session->nextElementIndex = report.nextElementIndex;
  return {std::move(report.text), std::move(report.jpeg)};
}

ToolResult Engine::stateAfterAction(const RunningApp& app, const std::set<WindowNumber>& windowsBefore,
                                    bool mayNavigate) {
  AfterAction::settle();
  auto appeared = AfterAction::appearedWindow(app, windowsBefore);
  std::optional<WindowInfo> chosen = appeared;
  if (!chosen) chosen = AfterAction::ownWindow(lastInputWindow, app.pid);
  if (!chosen) {
    if (auto latest = session->snapshot(app.pid)) chosen = AfterAction::ownWindow(latest->window.id, app.pid);
  }
  try {
    if (mayNavigate && !appeared && chosen) {
      Pages::awaitNavigation(*chosen, Pages::chromeButtons(session->snapshot(app.pid, chosen->id)));
    }
    auto windowID = chosen ? std::optional(chosen->id) : std::nullopt;
    ToolResult state = getAppState(std::to_string(app.pid), windowID, true);
    return {"New state after the action:\n" + state.text, std::move(state.jpeg)};
  } catch (const std::exception& error) {
    return {std::string("The new state could not be read (") + error.what() + "); call get_app_state.", std::nullopt};
  }
}

Engine::Target Engine::inputTarget(const std::string& appName, std::optional<WindowNumber> windowID) {
  const RunningApp app = Apps::resolve(appName);
  checkInputAllowed(app);
  WindowInfo window;
  if (windowID) {
    window = Apps::targetWindow(app, windowID);
  } else {
    auto latest = session->snapshot(app.pid);
    auto still = latest ? AfterAction::ownWindow(latest->window.id, app.pid) : std::nullopt;
    window = still && (still->isOnScreen || Apps::isOnAnotherSpace(*still)) ? *still : Apps::mainWindow(app);
  }
  window = onStage(app, window);
  lastInputWindow = window.id;
  return {app, window, session->snapshot(app.pid, window.id)};
}

WindowInfo Engine::onStage(const RunningApp& app, const WindowInfo& window) {
  if (Apps::isProtected(app)) return window;
  WindowInfo staged = Backstage::shared().admit(window, session->id);
  // The agent's cursor stays over the same spot of a window that moved.
  if (session->pointer && window.frame.contains(*session->pointer)) {
    session->pointer->x += staged.frame.origin.x - window.frame.origin.x;
    session->pointer->y += staged.frame.origin.y - window.frame.origin.y;
  }
  return staged;
}

void Engine::checkInputAllowed(const RunningApp& app) {
  if (!Apps::isProtected(app)) return;
  throw ToolError((app.name.empty() ? std::string("This app") : app.name) +
                  " hosts the agents; Tarnwick never sends input to it.");
}
