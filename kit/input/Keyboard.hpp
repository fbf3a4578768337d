#pragma once
#include <string>

#include "kit/input/KeyChord.hpp"
#include "kit/platform/AgentInput.hpp"
#include "kit/platform/WindowInfo.hpp"

// Key events of one agent for one window, through the shared key window, with a
// person's timing. Never fails: an event without a key is skipped.
namespace Keyboard {

// The desktop's keyboard layout; fails with a ToolError where there is none.
KeyboardLayouts& layout();

// Modifiers down one by one, the key, and the modifiers up in reverse order. `hold` in
// seconds keeps the key down with auto-repeat; 0 is a natural press.
void press(AgentInput::Agent agent, const KeyChord& chord, const WindowInfo& window, double hold);
// Keeps a pressed key down for `hold` seconds, repeating as a held key does.
void holdWithRepeat(AgentInput::Agent agent, uint32_t keyCode, uint32_t flags, const WindowInfo& window, double hold);
// Types the text key by key in real time; time spent waiting for the user shifts the
// rest of the schedule instead of compressing it.
void type(AgentInput::Agent agent, const std::string& text, const WindowInfo& window);

}  // namespace Keyboard
