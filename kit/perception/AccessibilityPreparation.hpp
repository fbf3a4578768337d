#pragma once
#include "kit/perception/RunningApp.hpp"
#include "kit/platform/WindowInfo.hpp"

// Warms an app's accessibility tree up before its state is read.
namespace AccessibilityPreparation {

// Switches web content on where a browser publishes it only when asked, and walks the
// tree once per process so that the app builds it before the real listing.
void prepare(const RunningApp& app, const WindowInfo& window);

}  // namespace AccessibilityPreparation
