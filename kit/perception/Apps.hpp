#pragma once
#include <optional>
#include <string>
#include <vector>

#include "kit/perception/RunningApp.hpp"
#include "kit/perception/WindowInfo.hpp"

// Finding running apps and their windows.
namespace Apps {

// The running app named by name, bundle id, path or pid; fails with a ToolError.
RunningApp find(const std::string& query);
// The app the user is working in.
std::optional<RunningApp> frontmost();
std::vector<WindowInfo> windows(const RunningApp& app, bool onScreenOnly);

}  // namespace Apps
