#include "kit/input/Clipboard.hpp"

#include <algorithm>
#include <set>
#include <sstream>

#include "kit/common/Text.hpp"
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

std::optional<Operation> operation(const std::vector<std::string>& menuPath) {
  if (menuPath.empty()) return std::nullopt;
  // "Einfügen" alone is the German Insert menu, not Paste.
  if (menuPath.size() == 1 && Text::lowered(menuPath[0]) == "einf\u00fcgen") return std::nullopt;
  const std::string last = Text::lowered(menuPath.back());
  auto begins = [&](std::initializer_list<const char*> words) {
    return std::any_of(words.begin(), words.end(), [&](const char* word) { return last.starts_with(word); });
  };
  if (begins({"paste", "einsetzen", "einf\u00fcgen"})) return Operation::paste;
  if (begins({"copy", "kopieren"})) return Operation::copy;
  if (begins({"cut", "ausschneiden"})) return Operation::cut;
  return std::nullopt;
}

bool isSelectAll(const std::vector<std::string>& menuPath) {
  if (menuPath.size() != 2) return false;
  const std::string menu = Text::lowered(menuPath[0]), command = Text::lowered(menuPath[1]);
  return (menu == "edit" && command == "select all") || (menu == "bearbeiten" && command == "alles ausw\u00e4hlen");
}

bool supportsText(const std::vector<std::string>& menuPath) {
  static const std::set<std::string> commands{"copy",
                                              "kopieren",
                                              "cut",
                                              "ausschneiden",
                                              "paste",
                                              "einsetzen",
                                              "einf\u00fcgen",
                                              "paste and match style",
                                              "einsetzen und stil anpassen",
                                              "einf\u00fcgen und stil anpassen"};
  if (menuPath.size() != 2) return false;
  const std::string menu = Text::lowered(menuPath[0]);
  return (menu == "edit" || menu == "bearbeiten") && commands.contains(Text::lowered(menuPath[1]));
}

}  // namespace Clipboard
