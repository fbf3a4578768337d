#include "kit/perception/Pages.hpp"

#include <algorithm>

#include "kit/perception/AX.hpp"
#include "kit/perception/AccessibilityTree.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

namespace Pages {
namespace {

constexpr double loadWait = 5.0;
constexpr double loadPoll = 0.1;
constexpr double navigationSignWait = 0.4;
constexpr double navigationPoll = 0.05;

bool labelsChanged(const std::vector<ElementRecord>& buttons) {
  return std::any_of(buttons.begin(), buttons.end(),
                     [](const ElementRecord& b) { return AccessibilityTree::label(b.element) != b.label; });
}

}  // namespace

bool isLoading(const AXElement& webArea) {
  if (AX::attribute<bool>(webArea, "AXLoaded") == false) return true;
  auto progress = AX::attribute<double>(webArea, "AXLoadingProgress");
  return progress && *progress < 1.0;
}

bool waitForLoad(const WindowInfo& window) {
  auto element = Apps::windowOrSheetElement(window);
  if (!element) return true;
  Clock& clock = Platform::clock();
  const double deadline = clock.now() + loadWait;
  for (;;) {
    auto web = AX::webArea(*element);
    if (!web || !isLoading(*web)) return true;
    if (clock.now() >= deadline) return false;
    clock.sleep(loadPoll);
  }
}

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

void awaitNavigation(const WindowInfo& window, const std::vector<ElementRecord>& chrome) {
  auto element = Apps::windowOrSheetElement(window);
  if (!element) return;
  auto web = AX::webArea(*element);
  if (!web) return;
  const auto title = AX::attribute<std::string>(*web, "AXTitle");
  auto navigated = [&] {
    return isLoading(*web) || AX::attribute<std::string>(*web, "AXTitle") != title || labelsChanged(chrome);
  };
  Clock& clock = Platform::clock();
  const double signDeadline = clock.now() + navigationSignWait;
  while (!navigated()) {
    if (clock.now() >= signDeadline) return;
    clock.sleep(navigationPoll);
  }
  // The load ends the wait once the page reports loaded again, 5 seconds at most.
  const double loadDeadline = clock.now() + loadWait;
  while (isLoading(*web) && clock.now() < loadDeadline) clock.sleep(navigationPoll);
}

}  // namespace Pages
