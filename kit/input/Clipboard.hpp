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

// The clipboard command a menu path names ("Edit > Copy", "Bearbeiten > Einfügen"), if any.
std::optional<Operation> operation(const std::vector<std::string>& menuPath);
// Whether the path is the standard Edit menu's Select All ("Edit > Select All", "Bearbeiten > Alles auswählen").
bool isSelectAll(const std::vector<std::string>& menuPath);
// Whether the path is the standard Edit menu's text command, which the private clipboard can carry out.
bool supportsText(const std::vector<std::string>& menuPath);

}  // namespace Clipboard
