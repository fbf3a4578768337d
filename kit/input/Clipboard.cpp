#include "kit/input/Clipboard.hpp"

#include <sstream>

#include "kit/common/ToolError.hpp"
#include "kit/platform/KeyboardLayouts.hpp"

namespace Clipboard {
namespace {

// Linux apps take their shortcuts with Control, as macOS apps take them with Command.
constexpr uint32_t shortcut = KeyModifier::control;

bool isKeyOf(const KeyChord& chord, char32_t character, KeyboardLayouts& layout) {
  auto stroke = layout.keyFor(character);
  return stroke && stroke->keyCode == chord.keyCode;
}

bool isClipboardKey(const KeyChord& chord, KeyboardLayouts& layout) {
  return isKeyOf(chord, U'v', layout) || isKeyOf(chord, U'c', layout) || isKeyOf(chord, U'x', layout);
}

}  // namespace

std::vector<KeyChord> validatedChords(const std::string& text, KeyboardLayouts& layout) {
  std::vector<std::pair<std::string, KeyChord>> chords;
  std::istringstream pieces(text);
  for (std::string piece; std::getline(pieces, piece, ' ');) {
    if (!piece.empty()) chords.emplace_back(piece, KeyChord::parse(piece, layout));
  }
  std::vector<KeyChord> result;
  for (const auto& [piece, chord] : chords) {
    if ((chord.flags() & shortcut) && isClipboardKey(chord, layout) && chord.flags() != shortcut) {
      throw ToolError("Shortcut " + piece +
                      " has app-specific semantics and is not supported by the private clipboard route. No keys "
                      "in this sequence were sent. Use the app's explicit menu command for non-clipboard actions.");
    }
    result.push_back(chord);
  }
  return result;
}

std::optional<Operation> candidate(const KeyChord& chord, KeyboardLayouts& layout) {
  if (!(chord.flags() & shortcut)) return std::nullopt;
  if (isKeyOf(chord, U'v', layout)) return Operation::paste;
  if (isKeyOf(chord, U'c', layout)) return Operation::copy;
  if (isKeyOf(chord, U'x', layout)) return Operation::cut;
  return std::nullopt;
}

bool isSelectAll(const KeyChord& chord, KeyboardLayouts& layout) {
  return chord.flags() == shortcut && isKeyOf(chord, U'a', layout);
}

}  // namespace Clipboard
