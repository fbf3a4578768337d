#include <algorithm>

#include "kit/perception/AX.hpp"
#include "kit/perception/AccessibilityTree.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolError.hpp"

namespace {

constexpr double settleDelay = 0.15;
constexpr double navigationSignWait = 0.4;
constexpr double loadWait = 5.0;
constexpr double navigationPoll = 0.05;

std::optional<WindowInfo> appearedWindow(const RunningApp& app, const std::set<WindowNumber>& before) {
  for (const auto& window : Apps::windows(app, false)) {
    if (before.contains(window.id) || window.layer != 0 || window.title.empty()) continue;
    if (window.frame.size.width <= 40 || window.frame.size.height <= 40) continue;
    if (window.isOnScreen || Apps::isOnAnotherSpace(window)) return window;
  }
  return std::nullopt;
}

std::optional<WindowInfo> ownWindow(std::optional<WindowNumber> number, pid_t pid) {
  if (!number) return std::nullopt;
  auto window = Apps::window(*number);
  if (!window || window->pid != pid) return std::nullopt;
  return window;
}

// The buttons of the window outside its web content: back, reload, the address bar's neighbours.
std::vector<ElementRecord> chromeButtons(const SnapshotRef& snapshot) {
  std::vector<ElementRecord> buttons;
  if (!snapshot) return buttons;
  std::optional<int> webDepth;
  for (const auto& entry : snapshot->elements) {
    if (webDepth && entry.depth > *webDepth) continue;
    webDepth.reset();
    if (entry.record.role == "AXWebArea") webDepth = entry.depth;
    else if (entry.record.role == "AXButton") buttons.push_back(entry.record);
  }
  return buttons;
}

bool loading(const AXElement& webArea) {
  if (AX::attribute<bool>(webArea, "AXLoaded") == false) return true;
  auto progress = AX::attribute<double>(webArea, "AXLoadingProgress");
  return progress && *progress < 1.0;
}

bool labelsChanged(const std::vector<ElementRecord>& buttons) {
  return std::any_of(buttons.begin(), buttons.end(),
                     [](const ElementRecord& b) { return AccessibilityTree::label(b.element) != b.label; });
}

}  // namespace

void Engine::awaitNavigation(const WindowInfo& window, const std::vector<ElementRecord>& chrome) {
  auto element = axWindow(window);
  if (!element) return;
  auto web = AX::webArea(*element);
  if (!web) return;
  const auto title = AX::attribute<std::string>(*web, "AXTitle");
  auto navigated = [&] {
    return loading(*web) || AX::attribute<std::string>(*web, "AXTitle") != title || labelsChanged(chrome);
  };
  Clock& clock = Platform::clock();
  const double signDeadline = clock.now() + navigationSignWait;
  while (!navigated()) {
    if (clock.now() >= signDeadline) return;
    clock.sleep(navigationPoll);
  }
  // The load ends the wait once the page reports loaded again, 5 seconds at most.
  const double loadDeadline = clock.now() + loadWait;
  while (loading(*web) && clock.now() < loadDeadline) clock.sleep(navigationPoll);
}

ToolResult Engine::stateAfterAction(const RunningApp& app, const std::set<WindowNumber>& windowsBefore,
                                    bool mayNavigate) {
  Platform::clock().sleep(settleDelay);
  auto appeared = appearedWindow(app, windowsBefore);
  std::optional<WindowInfo> chosen = appeared;
  if (!chosen) chosen = ownWindow(lastInputWindow, app.pid);
  if (!chosen) {
    if (auto latest = session->snapshot(app.pid)) chosen = ownWindow(latest->window.id, app.pid);
  }
  try {
    if (mayNavigate && !appeared && chosen) awaitNavigation(*chosen, chromeButtons(session->snapshot(app.pid, chosen->id)));
    auto windowID = chosen ? std::optional(chosen->id) : std::nullopt;
    ToolResult state = getAppState(std::to_string(app.pid), windowID, true);
    return {"New state after the action:\n" + state.text, std::move(state.jpeg)};
  } catch (const std::exception& error) {
    return {std::string("The new state could not be read (") + error.what() + "); call get_app_state.", std::nullopt};
  }
}
