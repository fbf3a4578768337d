#pragma once
#include <vector>

#include "kit/perception/Snapshot.hpp"
#include "kit/platform/AXTypes.hpp"
#include "kit/platform/WindowInfo.hpp"

// Web pages inside windows: whether one is loading, and waiting for it.
namespace Pages {

bool isLoading(const AXElement& webArea);

// True when the window's page finished loading (or it has none); false after 5 seconds.
bool waitForLoad(const WindowInfo& window);

// The buttons of a state outside its web content: back, reload, the address bar's neighbours.
std::vector<ElementRecord> chromeButtons(const SnapshotRef& snapshot);

// Waits for a navigation that the last action may have started, then for its load.
void awaitNavigation(const WindowInfo& window, const std::vector<ElementRecord>& chromeButtons);

}  // namespace Pages
