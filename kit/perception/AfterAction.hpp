#pragma once
#include <optional>
#include <set>

#include "kit/perception/RunningApp.hpp"
#include "kit/platform/WindowInfo.hpp"

// Which window the state after an action reports.
namespace AfterAction {

// Waits for the action's effect to show before anything is read.
void settle();

// A window of the app that the action opened: new since `before`, titled, of normal size.
std::optional<WindowInfo> appearedWindow(const RunningApp& app, const std::set<WindowNumber>& before);

// The window with this number when it still exists and belongs to the process.
std::optional<WindowInfo> ownWindow(std::optional<WindowNumber> number, pid_t pid);

}  // namespace AfterAction
