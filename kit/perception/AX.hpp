#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kit/perception/RunningApp.hpp"
#include "kit/platform/WindowInfo.hpp"
#include "kit/platform/AXTypes.hpp"

// A thin, uniform layer over accessibility: typed reads that give nothing on failure,
// writes and actions that return the status, and the agent-facing wording of statuses.
namespace AX {

inline constexpr double standardTimeout = 1.5;
inline constexpr double deadlineTimeout = 0.25;

AXElement application(pid_t pid);
AXElement withTimeout(AXElement element, double seconds);

std::optional<AXValue> value(const AXElement& element, const std::string& name);
template <typename T>
std::optional<T> attribute(const AXElement& element, const std::string& name) {
  auto read = value(element, name);
  if (!read) return std::nullopt;
  if (auto typed = std::get_if<T>(&*read)) return *typed;
  if constexpr (std::is_same_v<T, double>) {
    if (auto whole = std::get_if<int64_t>(&*read)) return static_cast<double>(*whole);
  }
  return std::nullopt;
}

// A read that takes a parameter ("AXRangeForPosition", "AXBoundsForRange", "AXStyleForRange").
std::optional<AXValue> parameterized(const AXElement& element, const std::string& name, const AXValue& parameter);
std::map<std::string, AXValue> attributes(const AXElement& element, const std::vector<std::string>& names);
std::vector<AXElement> children(const AXElement& element);
std::vector<std::string> actions(const AXElement& element);
// Before a walk of the element's shown subtree (see Accessibility::readAhead).
void readAhead(const AXElement& root);
void endReadAhead();
bool isSettable(const AXElement& element, const std::string& name);
AXStatus set(const AXElement& element, const std::string& name, const AXValue& value);
AXStatus perform(const AXElement& element, const std::string& action);
AXStatus roleStatus(const AXElement& element);
std::optional<Rect> frame(const AXElement& element);
std::optional<WindowNumber> windowID(const AXElement& element);
// The window server's number of the window an element lies in.
std::optional<WindowNumber> containingWindowID(const AXElement& element);
// The deepest element of the app at the screen point.
std::optional<AXElement> elementAt(pid_t pid, Point point);

// A window's element found without AXWindows (a window on another Space), bounded by
// 3 seconds or the deadline (Clock seconds), whichever comes first.
std::optional<AXElement> remoteWindow(WindowNumber window, pid_t pid, std::optional<double> deadline, double timeout);

bool containsWebArea(const AXElement& element);
// Whether the element lies inside a web area (a page's content).
bool isWebContent(const AXElement& element);
std::optional<AXElement> webArea(const AXElement& element);
void enableWebAccessibility(pid_t pid, bool electron);

// Whether an action ran: success, or "cannot complete", which apps answer when what the
// action opened is modal.
inline bool acted(AXStatus status) { return status == AXError::success || status == AXError::cannotComplete; }

// The agent-facing wording of a status.
std::string message(AXStatus status);

}  // namespace AX

// Browsers and Electron apps publish their web content only when asked.
namespace WebRuntime {
bool contains(const RunningApp& app);
bool isElectron(const RunningApp& app);
}  // namespace WebRuntime
