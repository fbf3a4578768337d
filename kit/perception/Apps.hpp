#pragma once
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kit/common/Json.hpp"
#include "kit/perception/RunningApp.hpp"
#include "kit/platform/WindowInfo.hpp"
#include "kit/platform/AXTypes.hpp"

// Running apps and their windows: finding them from an agent's words, and the window
// questions the other parts ask.
namespace Apps {

inline const std::set<std::string> protectedBundleIdentifiers{"com.ostrel.work"};

std::vector<RunningApp> running();
std::optional<RunningApp> frontmost();
// The running app with this process id, of any activation policy.
std::optional<RunningApp> withPID(pid_t pid);
// The running app named by pid, bundle id, name, executable or bundle name; fails with a ToolError.
RunningApp find(const std::string& query);
// As find, and refuses this process itself.
RunningApp resolve(const std::string& query);
bool isProtected(const RunningApp& app);

// One window-list entry as a record, or none when it lacks a number, owner or bounds.
std::optional<WindowInfo> windowInfo(const Json& entry);
std::vector<WindowInfo> windows(const RunningApp& app, bool onScreenOnly);
std::optional<WindowInfo> window(WindowNumber number);
WindowInfo targetWindow(const RunningApp& app, std::optional<WindowNumber> windowID);
WindowInfo mainWindow(const RunningApp& app);

bool isOnAnotherSpace(const WindowInfo& window);
// Why a window is not shown: minimized, or its app hidden.
enum class Dormancy { none, minimized, appHidden };
Dormancy dormancy(const WindowInfo& window, const RunningApp& app);
bool isDormant(const WindowInfo& window, const RunningApp& app);
bool isRemotePanel(const WindowInfo& window);
std::set<WindowNumber> standardWindowIDs(const RunningApp& app);
std::vector<WindowInfo> transientWindows(const std::vector<WindowInfo>& frontToBack, const WindowInfo& target,
                                         const std::set<WindowNumber>& standardWindowIDs);
// Every window on the desktop, front to back.
std::vector<WindowInfo> frontToBack();
// The window's accessibility element, or the sheet inside another window that it is.
std::optional<AXElement> windowOrSheetElement(const WindowInfo& window);
// The titles of the app's menu bar, or none when it has no menu bar.
std::optional<std::vector<std::string>> menuBarTitles(pid_t pid);
// The window's accessibility element; with a deadline (Clock seconds) every call is short.
std::optional<AXElement> axWindow(const WindowInfo& window, std::optional<double> deadline = std::nullopt);

}  // namespace Apps
