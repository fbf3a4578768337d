#pragma once
#include <optional>
#include <string>

#include "platform/sim/SimModel.hpp"

// Text fields of the simulated desktop: the app's focused element ("AXFocusedUIElement"
// of its application node) takes typed characters at its selection ("AXSelectedTextRange",
// UTF-16 units, the end of the text when absent). An element with the attribute
// "SimIgnoresKeys" takes none. The model's lock is held by the caller.
namespace SimText {

std::optional<SimModel::NodeID> focusedField(const SimModel& model, pid_t pid);
std::string value(const SimModel::Node& node);
TextRange selection(const SimModel::Node& node);
std::string selectedText(const SimModel::Node& node);
void replaceSelection(SimModel::Node& node, const std::string& text);
// A key press in the field: a character, BackSpace, or Return in a text area. False when
// the field takes no such key.
bool press(SimModel::Node& node, const std::string& text, uint32_t keyCode);

// Text is laid out on a grid from the element's AXPosition: every UTF-16 unit 8 points
// wide, lines 16 points tall; right of a line's end is the empty range there. The style is the attribute "SimStyle" ("plain" without
// one); an element with "SimMixedStyle" true has none that covers it all.
inline constexpr double unitWidth = 8, lineHeight = 16;
std::optional<TextRange> rangeAt(const SimModel::Node& node, Point point);
std::optional<Rect> bounds(const SimModel::Node& node, TextRange range);
std::optional<std::string> style(const SimModel::Node& node);

// The effect run after each character a field takes: an autocorrecting app changes the value.
inline constexpr const char* typedEffect = "typed";

}  // namespace SimText
