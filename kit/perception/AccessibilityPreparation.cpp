#include "kit/perception/AccessibilityPreparation.hpp"

#include <algorithm>
#include <mutex>
#include <set>

#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

namespace AccessibilityPreparation {
namespace {

std::mutex preparedLock;  // guards preparedPIDs only
std::set<pid_t> preparedPIDs;

constexpr int warmUpDepth = 7;
constexpr int warmUpLimit = 400;

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

void waitForWebArea(const AXElement& window) {
  Clock& clock = Platform::clock();
  const double end = clock.now() + 3.5;
  while (clock.now() < end && !AX::containsWebArea(window)) clock.sleep(0.2);
}

}  // namespace

void prepare(const RunningApp& app, const WindowInfo& window) {
  const bool isNew = insertPrepared(app.pid);
  auto listed = AX::attribute<std::vector<AXElement>>(AX::application(app.pid), "AXWindows")
                    .value_or(std::vector<AXElement>{});
  auto element = Apps::axWindow(window);

  if (WebRuntime::contains(app) && element && !AX::containsWebArea(*element)) {
    AX::enableWebAccessibility(app.pid, WebRuntime::isElectron(app));
    waitForWebArea(*element);
  }
  if (!isNew) return;
  if (element && std::find(listed.begin(), listed.end(), *element) == listed.end()) listed.push_back(*element);
  int visited = 0;
  for (const auto& each : listed) warmUp(each, 0, visited);
  Platform::clock().sleep(Platform::desktop().accessibility().settleAfterFirstWalk());
}

}  // namespace AccessibilityPreparation
