#pragma once
#include <optional>
#include <string>
#include <vector>

#include "kit/input/KeyChord.hpp"

class KeyboardLayouts;

// The clipboard shortcuts an agent presses are carried out on its private clipboard,
// never sent to the app: the shortcut modifier (Control on Linux) with C, X or V, and
// with A for Select All.
namespace Clipboard {

enum class Operation { copy, cut, paste };

// The chords of a space-separated key text. Fails with a ToolError, before anything is
// pressed, on a bad chord or a clipboard shortcut with extra modifiers.
std::vector<KeyChord> validatedChords(const std::string& text, KeyboardLayouts& layout);
// What a chord does to the private clipboard, if anything.
std::optional<Operation> candidate(const KeyChord& chord, KeyboardLayouts& layout);
// Whether a chord is the Select All shortcut.
bool isSelectAll(const KeyChord& chord, KeyboardLayouts& layout);

}  // namespace Clipboard
