#include "kit/actions/TextDrag.hpp"

#include <cmath>

#include "kit/actions/TextRepair.hpp"
#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"

namespace TextDrag {
namespace {

constexpr int64_t maxUnits = 1'000'000;
constexpr int parentsSearched = 10;

constexpr const char* noDestination =
    "The selected text has no verified accessible destination. No native drag was started.";
constexpr const char* notTransferable =
    "This text selection cannot be transferred without changing its formatting or splitting a character. No edit "
    "was made.";
constexpr const char* otherResult = "The editor reports a different text result; the edit was not repeated.";

struct Editor {
  AXElement element;
  std::string text;
  int64_t units() const { return int64_t(Text::utf16(text).size()); }
};

bool isEditorRole(const std::optional<std::string>& role) { return role == "AXTextField" || role == "AXTextArea"; }

bool belongsTo(const AXElement& element, const WindowInfo& window) {
  return element.pid == window.pid && AX::containingWindowID(element) == window.id;
}

std::optional<AXElement> editorAt(Point point, const WindowInfo& window) {
  auto found = AX::elementAt(window.pid, point);
  for (int step = 0; found && step <= parentsSearched; ++step) {
    AXElement element = AX::withTimeout(*found, AX::standardTimeout);
    if (isEditorRole(AX::attribute<std::string>(element, "AXRole"))) {
      const bool editable = AX::attribute<std::string>(element, "AXSubrole") != "AXSecureTextField" &&
                            AX::isSettable(element, "AXSelectedText") &&
                            AX::isSettable(element, "AXSelectedTextRange") && belongsTo(element, window);
      return editable ? std::optional(element) : std::nullopt;
    }
    found = AX::attribute<AXElement>(element, "AXParent");
  }
  return std::nullopt;
}

std::optional<std::string> textOf(const AXElement& editor) {
  auto text = AX::attribute<std::string>(editor, "AXValue");
  if (!text && AX::attribute<int64_t>(editor, "AXNumberOfCharacters") == 0) text = "";
  if (!text || int64_t(Text::utf16(*text).size()) > maxUnits) return std::nullopt;
  return text;
}

std::optional<TextRange> characterAt(Point point, const AXElement& editor) {
  auto range = AX::parameterized(editor, "AXRangeForPosition", point);
  if (!range || !std::holds_alternative<TextRange>(*range)) return std::nullopt;
  return std::get<TextRange>(*range);
}

std::optional<Rect> bounds(TextRange range, const AXElement& editor) {
  auto rect = AX::parameterized(editor, "AXBoundsForRange", range);
  if (!rect || !std::holds_alternative<Rect>(*rect) || std::get<Rect>(*rect).size.height <= 0) return std::nullopt;
  return std::get<Rect>(*rect);
}

// The insertion point a drop at the point means: the nearer edge of the character there.
std::optional<int64_t> caret(Point point, const Editor& editor) {
  if (editor.text.empty()) return 0;
  auto character = characterAt(point, editor.element);
  if (!character || character->location < 0 || character->length < 0 ||
      character->location + character->length > editor.units())
    return std::nullopt;
  if (character->length == 0) return character->location;
  auto before = bounds({character->location, 0}, editor.element);
  auto after = bounds({character->location + character->length, 0}, editor.element);
  if (!before || !after || before->origin == after->origin) return std::nullopt;
  auto edge = [&](const Rect& rect) {
    return std::hypot(point.x - rect.origin.x, point.y - (rect.origin.y + rect.size.height / 2));
  };
  return edge(*after) < edge(*before) ? character->location + character->length : character->location;
}

std::optional<std::string> uniformStyle(const Editor& editor) {
  auto style = AX::parameterized(editor.element, "AXStyleForRange", TextRange{0, editor.units()});
  if (!style || !std::holds_alternative<std::string>(*style)) return std::nullopt;
  return std::get<std::string>(*style);
}

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// A range that neither leaves the text nor splits a character.
bool isCharacterRange(const std::string& text, TextRange range) {
  const std::u16string units = Text::utf16(text);
  if (range.location < 0 || range.length < 0 || range.location + range.length > int64_t(units.size())) return false;
  auto splits = [&](int64_t at) { return at > 0 && at < int64_t(units.size()) && isHighSurrogate(units[size_t(at - 1)]); };
  return !splits(range.location) && !splits(range.location + range.length);
}

std::string piece(const std::string& text, TextRange range) {
  const std::u16string units = Text::utf16(text);
  return Text::fromUTF16(std::u16string_view(units).substr(size_t(range.location), size_t(range.length)));
}

// Edits stop when the user brings either app to the front or a window moved.
struct Guard {
  WindowInfo source, destination;
  void check() const {
    if (auto front = Apps::frontmost(); front && (front->pid == source.pid || front->pid == destination.pid))
      throw ToolError("The target app is now in the foreground; text transfer stopped.");
    for (const WindowInfo& window : {source, destination}) {
      auto now = Apps::window(window.id);
      if (!now || now->pid != window.pid || now->frame != window.frame)
        throw ToolError("A text-transfer window moved or disappeared; transfer stopped.");
    }
  }
};

// Places the selection and checks the editor took it.
void select(const AXElement& editor, TextRange range) {
  if (AX::set(editor, "AXSelectedTextRange", range) != AXError::success ||
      AX::attribute<TextRange>(editor, "AXSelectedTextRange") != range)
    throw ToolError("The editor did not confirm the requested selection.");
}

void replaceSelection(const AXElement& editor, const std::string& text) {
  const AXStatus status = AX::set(editor, "AXSelectedText", text);
  if (status != AXError::success)
    throw ToolError("The editor did not confirm its text edit (" + AX::message(status) + "); inspect before retrying.");
}

void expectSettled(const AXElement& editor, const std::string& expected) {
  if (TextRepair::settledValue(editor, expected) != expected) throw ToolError(otherResult);
}

}  // namespace

std::optional<std::string> transfer(Point from, Point to, const WindowInfo& window, bool copy,
                                    const WindowInfo& destinationWindow) {
  auto sourceElement = editorAt(from, window);
  if (!sourceElement) return std::nullopt;
  auto selection = AX::attribute<TextRange>(*sourceElement, "AXSelectedTextRange");
  if (!selection || selection->location < 0 || selection->length < 1 || selection->length > maxUnits)
    return std::nullopt;
  auto pressed = characterAt(from, *sourceElement);
  if (!pressed || pressed->location < selection->location ||
      pressed->location >= selection->location + selection->length)
    return std::nullopt;
  const TextRange sel = *selection;

  auto destinationElement = editorAt(to, destinationWindow);
  auto sourceText = textOf(*sourceElement);
  auto destinationText = destinationElement ? textOf(*destinationElement) : std::nullopt;
  if (!destinationElement || !sourceText || !destinationText) throw ToolError(noDestination);
  const Editor source{*sourceElement, *sourceText}, destination{*destinationElement, *destinationText};
  auto insertAt = caret(to, destination);
  if (!insertAt) throw ToolError(noDestination);
  const int64_t c = *insertAt;
  const bool same = source.element == destination.element;
  if (same && sel.location <= c && c <= sel.location + sel.length)
    return "The drop point is inside the selected text; no edit was needed.";

  const auto style = uniformStyle(source);
  const bool eligible = style && (destination.text.empty() || uniformStyle(destination) == style) &&
                        isCharacterRange(source.text, sel) && isCharacterRange(destination.text, {c, 0}) &&
                        (!same || source.text == destination.text);
  if (!eligible) throw ToolError(notTransferable);

  const std::string moved = piece(source.text, sel);
  const std::string expected = *TextRepair::replacing(destination.text, {c, 0}, moved);
  const int64_t deleteAt = sel.location + (same && c < sel.location ? sel.length : 0);
  std::optional<std::string> finalSource;
  if (!copy) {
    const std::string& base = same ? expected : source.text;
    if (!isCharacterRange(base, {deleteAt, sel.length})) throw ToolError(notTransferable);
    finalSource = TextRepair::replacing(base, {deleteAt, sel.length}, "");
  }

  const Guard guard{window, destinationWindow};
  guard.check();
  if (textOf(source.element) != source.text || textOf(destination.element) != destination.text ||
      AX::attribute<TextRange>(source.element, "AXSelectedTextRange") != sel)
    throw ToolError("The selected text changed before transfer; read the current state again.");
  guard.check();
  select(destination.element, {c, 0});
  if (textOf(destination.element) != destination.text)
    throw ToolError("The destination changed while setting its insertion point; no text was inserted.");
  guard.check();
  replaceSelection(destination.element, moved);
  expectSettled(destination.element, expected);
  if (uniformStyle({destination.element, expected}) != style) {
    throw ToolError(std::string("The destination insertion completed, but its formatting differs. ") +
                    (copy ? "No source deletion was requested" : "Source deletion was skipped") +
                    "; inspect the inserted text before retrying.");
  }

  if (!copy) {
    const std::string& sourceNow = same ? expected : source.text;
    if (textOf(source.element) != sourceNow) {
      throw ToolError("Text was inserted at the destination, but the source changed. Source deletion was skipped; "
                      "inspect both fields before retrying.");
    }
    try {
      guard.check();
      select(source.element, {deleteAt, sel.length});
      if (textOf(source.element) != sourceNow) throw ToolError("Source text changed before deletion.");
      guard.check();
      replaceSelection(source.element, "");
      expectSettled(source.element, *finalSource);
    } catch (const ToolError& error) {
      throw ToolError("The destination insertion completed, but source deletion was not confirmed. Inspect both "
                      "fields before retrying. " + error.description);
    }
  }

  const std::string sourceEnd = copy ? (same ? expected : source.text) : *finalSource;
  const std::string destinationEnd = same && !copy ? *finalSource : expected;
  if (textOf(source.element) != sourceEnd || textOf(destination.element) != destinationEnd) {
    throw ToolError(std::string("The destination insertion") + (copy ? "" : " and source deletion") +
                    " completed, but the final source or destination changed before confirmation. Inspect both "
                    "fields before retrying.");
  }
  return std::string(copy ? "Copied" : "Moved") +
         " the selected text through accessibility; verified the resulting text without using the system clipboard "
         "or drag loop.";
}

}  // namespace TextDrag
