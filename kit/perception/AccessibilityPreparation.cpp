#include "kit/perception/AccessibilityPreparation.hpp"

#include <algorithm>
#include <mutex>
#include <optional>
#include <set>

#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

namespace AccessibilityPreparation {
namespace {

std::mutex preparedLock;  // guards the three sets below only
std::set<pid_t> preparedPIDs;
std::set<pid_t> pagelessPIDs;                // browsers that publish nothing inside their windows
std::set<WindowNumber> windowsWithoutPage;  // main windows that showed no page when waited for

constexpr int warmUpDepth = 7;
constexpr int warmUpLimit = 400;
constexpr double settleAfterFirstWalk = 0.4;
constexpr double emptyWindowWait = 3.5;
// A busy machine can take this long to build a fresh page's tree once its window's is there.
constexpr double pageWait = 10;
constexpr double pagePoll = 0.2;

bool insertPrepared(pid_t pid) {
  std::lock_guard guard(preparedLock);
  return preparedPIDs.insert(pid).second;
}

void warmUp(const AXElement& element, int depth, int& visited) {
  if (visited >= warmUpLimit) return;
  ++visited;
  if (depth >= warmUpDepth) return;
  for (const auto& child : AX::children(element)) warmUp(child, depth + 1, visited);
}

// Whether the page shows, when an earlier wait already found out.
std::optional<bool> knownPageShown(pid_t pid, WindowNumber window) {
  std::lock_guard guard(preparedLock);
  if (pagelessPIDs.contains(pid)) return false;
  if (windowsWithoutPage.contains(window)) return true;
  return std::nullopt;
}

// A browser started without page accessibility (Chromium on Linux) publishes its windows
// with nothing inside, and will not later: it is waited for once, not on every call. A
// main window whose tree is there waits longer for its page, once per window; a dialog
// has no page to wait for.
bool waitForWebArea(pid_t pid, WindowNumber number, const AXElement& window) {
  if (auto known = knownPageShown(pid, number)) return *known;
  const bool dialog = AX::attribute<std::string>(window, "AXSubrole") != "AXStandardWindow";
  Clock& clock = Platform::clock();
  const double start = clock.now();
  for (;;) {
    if (AX::containsWebArea(window)) return true;
    const bool empty = AX::children(window).empty();
    if (!empty && dialog) return true;
    if (clock.now() - start >= (empty ? emptyWindowWait : pageWait)) {
      std::lock_guard guard(preparedLock);
      if (empty) pagelessPIDs.insert(pid);
      else windowsWithoutPage.insert(number);
      return !empty;
    }
    clock.sleep(pagePoll);
  }
}

}  // namespace

bool prepare(const RunningApp& app, const WindowInfo& window) {
  const bool isNew = insertPrepared(app.pid);
  auto listed = AX::attribute<std::vector<AXElement>>(AX::application(app.pid), "AXWindows")
                    .value_or(std::vector<AXElement>{});
  auto element = Apps::axWindow(window);

  bool pageShown = true;
  if (WebRuntime::contains(app) && element && !AX::containsWebArea(*element)) {
    AX::enableWebAccessibility(app.pid, WebRuntime::isElectron(app));
    pageShown = waitForWebArea(app.pid, window.id, *element);
  }
  if (!isNew || !Platform::desktop().accessibility().wakesOnFirstWalk()) return pageShown;
  if (element && std::find(listed.begin(), listed.end(), *element) == listed.end()) listed.push_back(*element);
  int visited = 0;
  for (const auto& each : listed) warmUp(each, 0, visited);
  Platform::clock().sleep(settleAfterFirstWalk);
  return pageShown;
}

}  // namespace AccessibilityPreparation
