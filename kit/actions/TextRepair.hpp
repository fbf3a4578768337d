#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kit/platform/AXTypes.hpp"

// Checking what typing left in a field, and undoing what autocorrect changed: the
// differing letters are selected and typed again.
namespace TextRepair {

// One replacement in the field's text, in UTF-16 units of its current text.
struct Edit {
  int64_t location = 0;
  int64_t length = 0;
  std::string replacement;
  bool operator==(const Edit&) const = default;
};

// The value once two reads 150 ms apart agree (up to 8 reads), else none.
std::optional<std::string> settledText(const AXElement& element);
// The value once it reads `expected` (up to 25 reads 20 ms apart), else the last read.
std::optional<std::string> settledValue(const AXElement& element, const std::string& expected);
// The edits that turn actual into expected, last first so earlier locations stay valid;
// none when the difference is too large to repair (more than 8 places, a place longer
// than 12 characters, or a middle longer than 1500).
std::optional<std::vector<Edit>> edits(const std::string& actual, const std::string& expected);

// How the repair types: over the selection, and a Backspace for an empty replacement.
struct Typist {
  std::function<void(const std::string&)> type;
  std::function<void()> backspace;
};
// Applies the edits by selecting each place and typing over it, then puts the caret
// back; whether the field then reads exactly `expected`.
bool apply(const std::vector<Edit>& edits, const AXElement& element, const std::string& expected, int64_t caret,
           const Typist& typist);

// The text with a UTF-16 range replaced; none when the range is negative or beyond it.
std::optional<std::string> replacing(const std::string& text, const TextRange& range, const std::string& with);
// A field's text for a reply: line feeds as \n, at most `limit` characters in quotes,
// else the first ones, an ellipsis and the count.
std::string quoted(const std::string& text, size_t limit);

}  // namespace TextRepair
