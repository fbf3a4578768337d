#include "kit/actions/BrowserTabDrag.hpp"

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

namespace BrowserTabDrag {
namespace {

constexpr int depthLimit = 16;
constexpr int nodeLimit = 500;
constexpr double pollEvery = 0.01;
constexpr double selectionWait = 0.5;
constexpr double moveWait = 0.75;
constexpr double frontReturnWait = 1.0;

struct Tab {
  AXElement element;
  AXElement group;
};

bool isTabRole(const std::optional<std::string>& role) { return role == "AXRadioButton" || role == "AXTab"; }

bool contains(const std::optional<Rect>& frame, Point point) { return frame && frame->contains(point); }

bool hasPress(const AXElement& element) {
  const auto actions = AX::actions(element);
  return std::find(actions.begin(), actions.end(), "AXPress") != actions.end();
}

// A point on a tab's close button is not on the tab.
bool onOwnButton(const AXElement& tab, Point point) {
  for (const auto& child : AX::children(tab))
    if (AX::attribute<std::string>(child, "AXRole") == "AXButton" && contains(AX::frame(child), point)) return true;
  return false;
}

struct Found {
  std::optional<Tab> tab;
  bool inStrip = false;
};

Found tabAt(Point point, const WindowInfo& window) {
  auto root = Apps::axWindow(window);
  if (!root) throw ToolError("Chrome's target window could not be inspected; no system drag was started.");
  Found found;
  std::vector<Tab> candidates;
  std::vector<std::pair<AXElement, int>> stack{{*root, 0}};
  for (int visited = 0; !stack.empty();) {
    auto [element, depth] = stack.back();
    stack.pop_back();
    auto role = AX::attribute<std::string>(element, "AXRole");
    if (!role) throw ToolError("Chrome's accessibility tree became unavailable; no system drag was started.");
    if (*role == "AXTabGroup" && contains(AX::frame(element), point)) {
      found.inStrip = true;
      for (const auto& child : AX::children(element)) {
        if (isTabRole(AX::attribute<std::string>(child, "AXRole")) && child.pid == window.pid &&
            AX::containingWindowID(child) == window.id && contains(AX::frame(child), point) && !onOwnButton(child, point))
          candidates.push_back({child, element});
      }
    } else if (*role != "AXWebArea") {
      const auto children = AX::children(element);
      if (depth >= depthLimit && !children.empty())
        throw ToolError("Chrome's accessibility tree exceeds the tab-search depth limit; no system drag was started.");
      for (auto child = children.rbegin(); child != children.rend(); ++child) stack.push_back({*child, depth + 1});
    }
    if (++visited >= nodeLimit && !stack.empty())
      throw ToolError("Chrome's accessibility tree exceeds the tab-search node limit; no system drag was started.");
  }
  if (candidates.size() == 1) found.tab = candidates.front();
  return found;
}

// The strip's tabs in order, when every one can be pressed and has a close button. Other
// entries (the new-tab button) are not tabs.
std::optional<std::vector<AXElement>> tabsIn(const AXElement& group) {
  std::vector<AXElement> tabs;
  for (const auto& child : AX::children(group)) {
    if (!isTabRole(AX::attribute<std::string>(child, "AXRole"))) continue;
    const auto buttons = AX::children(child);
    const bool closes = std::any_of(buttons.begin(), buttons.end(), [](const AXElement& button) {
      return AX::attribute<std::string>(button, "AXRole") == "AXButton" && hasPress(button);
    });
    if (!hasPress(child) || !closes) return std::nullopt;
    tabs.push_back(child);
  }
  if (tabs.size() < 2 || tabs.size() > 100) return std::nullopt;
  return tabs;
}

bool matches(const AXElement& group, const std::vector<AXElement>& expected) { return tabsIn(group) == expected; }

// No front app at all counts as background: openbox reports no active window after
// handing the front back to a window that kept the keyboard focus.
bool isBackground(const WindowInfo& window) {
  auto front = Apps::frontmost();
  auto now = Apps::window(window.id);
  return (!front || front->pid != window.pid) && now && now->pid == window.pid && now->isOnScreen &&
         now->frame == window.frame;
}

// Polls until the test passes or the time is up; the last answer.
bool within(double seconds, const std::function<bool()>& test) {
  Clock& clock = Platform::clock();
  const double until = clock.now() + seconds;
  while (!test()) {
    if (clock.now() >= until) return false;
    clock.sleep(pollEvery);
  }
  return true;
}

// Chromium asks to be activated when the agent's keyboard is focused on its window; the
// focus guard gives the front back to the user's window within moments.
void requireBackground(const WindowInfo& window) {
  if (!within(frontReturnWait, [&] { return isBackground(window); }))
    throw ToolError("The Chrome window moved, disappeared, or became foreground; tab reordering stopped.");
}

bool isSelected(const AXElement& tab) {
  if (AX::attribute<bool>(tab, "AXSelected") == true) return true;
  auto value = AX::attribute<double>(tab, "AXValue");
  return value && static_cast<int64_t>(*value) == 1;
}

}  // namespace

bool isChrome(const RunningApp& app) {
  static const std::set<std::string> ids{"com.google.chrome", "google-chrome", "chromium", "chromium-browser",
                                         "org.chromium.chromium"};
  static const std::set<std::string> executables{"chrome", "chromium", "chromium-browser", "google-chrome"};
  return ids.contains(Text::lowered(app.bundleID)) ||
         executables.contains(std::filesystem::path(app.executable).filename().string());
}

std::optional<std::string> transfer(Point from, Point to, const WindowInfo& window, const RunningApp& app,
                                    bool eligibleGesture, const Keys& keys) {
  if (!isChrome(app)) return std::nullopt;
  const Found source = tabAt(from, window);
  if (!source.inStrip) return std::nullopt;
  if (!eligibleGesture || !source.tab)
    throw ToolError("This Chrome tab-strip gesture is ambiguous or unsupported. No system drag was started.");
  const Found destination = tabAt(to, window);
  auto expected = tabsIn(source.tab->group);
  auto position = [&](const std::optional<Tab>& tab) -> std::optional<size_t> {
    if (!tab || !expected) return std::nullopt;
    auto found = std::find(expected->begin(), expected->end(), tab->element);
    if (found == expected->end()) return std::nullopt;
    return static_cast<size_t>(found - expected->begin());
  };
  auto i = position(source.tab), j = position(destination.tab);
  if (!destination.tab || destination.tab->group != source.tab->group || !i || !j) {
    throw ToolError("This Chrome tab drop has no verified destination in the same ungrouped, unpinned tab strip. No "
                    "drag was started.");
  }
  if (*i == *j) return "The drop point is on the same Chrome tab; no reorder was needed.";
  const AXElement& group = source.tab->group;
  const AXElement& tab = source.tab->element;

  requireBackground(window);
  if (!matches(group, *expected)) throw ToolError("The Chrome tab order changed before reordering.");
  keys.prepare();
  requireBackground(window);
  if (!matches(group, *expected) || AX::perform(tab, "AXPress") != AXError::success)
    throw ToolError("Chrome did not confirm selection of the source tab. No reorder command was sent.");
  if (!within(selectionWait, [&] { return isSelected(tab); }) || !keys.targetWindow())
    throw ToolError("Chrome did not confirm the source tab and key window; no reorder command was sent.");

  const bool right = *i < *j;
  size_t k = *i;
  int moves = 0;
  auto stopped = [&](const std::string& why) {
    return ToolError("Chrome tab reorder stopped after " + std::to_string(moves) +
                     " verified adjacent moves. The last command may have partially applied; inspect the tab order "
                     "before retrying. " + why);
  };
  while (true) {
    try {
      requireBackground(window);
    } catch (const ToolError& error) {
      if (k != *j) throw stopped(error.description);
      throw ToolError("All " + std::to_string(moves) +
                      " adjacent Chrome tab moves were verified, but the final window state changed. The reorder "
                      "completed; inspect before further input. " + error.description);
    }
    if (k == *j) break;
    if (!isSelected(tab) || !keys.targetWindow() || !matches(group, *expected))
      throw stopped("The selected tab, key window, or tab order changed before the next command.");
    const size_t next = right ? k + 1 : k - 1;
    std::swap((*expected)[k], (*expected)[next]);
    keys.moveTab(right);
    if (!within(moveWait, [&] { return matches(group, *expected); }) || !isSelected(tab))
      throw stopped("Chrome did not confirm the expected adjacent tab swap; the command was not repeated.");
    ++moves;
    k = next;
  }
  return "Moved the Chrome tab from position " + std::to_string(*i + 1) + " to " + std::to_string(*j + 1) +
         "; verified every tab's identity and order without a system drag or clipboard access.";
}

}  // namespace BrowserTabDrag
