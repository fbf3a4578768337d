#pragma once
#include <functional>
#include <optional>
#include <string>

#include "kit/common/Geometry.hpp"
#include "kit/perception/RunningApp.hpp"
#include "kit/platform/WindowInfo.hpp"

// Reordering Chrome's (and Chromium's) tabs without a drag and drop: the source tab is
// selected through accessibility and moved one place at a time with the browser's own
// "move tab" keys, every move checked against the strip. Failures are ToolErrors.
namespace BrowserTabDrag {

// What the caller does for it with the agent's keyboard.
struct Keys {
  std::function<void()> prepare;             // makes the window the agent's key window
  std::function<bool()> targetWindow;        // whether keys now reach the window
  std::function<void(bool right)> moveTab;  // Control+Shift+Page Down (right) or Page Up
};

bool isChrome(const RunningApp& app);
// None when the gesture is not one on a Chrome tab strip; otherwise what was done.
// Points are global screen points.
std::optional<std::string> transfer(Point from, Point to, const WindowInfo& window, const RunningApp& app,
                                    bool eligibleGesture, const Keys& keys);

}  // namespace BrowserTabDrag
