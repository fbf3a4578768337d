#include "kit/perception/AccessibilityPreparation.hpp"

#include <algorithm>
#include <mutex>
#include <set>

#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

namespace AccessibilityPreparation {
namespace {

std::mutex preparedLock;  // guards preparedPIDs and pagelessPIDs only
std::set<pid_t> preparedPIDs;
std::set<pid_t> pagelessPIDs;  // browsers whose page did not come when asked

constexpr int warmUpDepth = 7;
constexpr int warmUpLimit = 400;
constexpr double settleAfterFirstWalk = 0.4;

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

// A browser that did not show its page once will not later: it was started without
// page accessibility (Chromium on Linux), and each wait would cost every call.
bool waitForWebArea(pid_t pid, const AXElement& window) {
  {
    std::lock_guard guard(preparedLock);
    if (pagelessPIDs.contains(pid)) return false;
  }
  Clock& clock = Platform::clock();
  const double end = clock.now() + 3.5;
  while (clock.now() < end) {
    if (AX::containsWebArea(window)) return true;
    clock.sleep(0.2);
  }
  std::lock_guard guard(preparedLock);
  pagelessPIDs.insert(pid);
  return false;
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
    pageShown = waitForWebArea(app.pid, *element);
  }
  if (!isNew || !Platform::desktop().accessibility().wakesOnFirstWalk()) return pageShown;
  if (element && std::find(listed.begin(), listed.end(), *element) == listed.end()) listed.push_back(*element);
  int visited = 0;
  for (const auto& each : listed) warmUp(each, 0, visited);
  Platform::clock().sleep(settleAfterFirstWalk);
  return pageShown;
}

}  // namespace AccessibilityPreparation
