#pragma once
#include <cstdint>

#include "kit/platform/AgentInput.hpp"
#include "kit/platform/WindowInfo.hpp"

// Mouse events of one agent, addressed to one window of one app.
namespace Pointer {

inline constexpr const char* coveredMessage =
    "Another window covers that point of the window, and a click there would reach that window instead. Use "
    "element_index for an element that can be pressed through accessibility, or ask the user to uncover the window.";

// Whether a press at the point reaches the window's app (the window itself, or a menu
// or popover of that app above it).
bool reaches(const WindowInfo& window, Point point);

void move(AgentInput::Agent agent, Point to, const WindowInfo& window);
// count presses at one point (at least one), each held `hold` seconds or for a natural
// time when 0. Checks before every press that the point reaches the window; fails with
// coveredMessage when it does not.
void click(AgentInput::Agent agent, Point at, const WindowInfo& window, MouseButton button, int count,
           uint32_t modifiers, double hold);

// A drag's parts: the press (checked like a click's), motion with the button held, and
// the release.
void press(AgentInput::Agent agent, Point at, const WindowInfo& window, MouseButton button, uint32_t modifiers);
void dragTo(AgentInput::Agent agent, Point at, const WindowInfo& window, MouseButton button, uint32_t modifiers);
void release(AgentInput::Agent agent, Point at, const WindowInfo& window, MouseButton button, uint32_t modifiers);

// One wheel event at the point: `wheel` in points, y towards the top, x towards the left.
void scroll(AgentInput::Agent agent, Point at, const WindowInfo& window, Point wheel);

}  // namespace Pointer
