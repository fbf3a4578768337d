#pragma once
#include "kit/perception/RunningApp.hpp"
#include "kit/platform/WindowInfo.hpp"

// Warms an app's accessibility tree up before its state is read.
namespace AccessibilityPreparation {

// Switches web content on where a browser publishes it only when asked, and walks the
// tree once per process so that the app builds it before the real listing. False when a
// browser's window shows no page even when asked: it is waited for once per process.
bool prepare(const RunningApp& app, const WindowInfo& window);

}  // namespace AccessibilityPreparation
