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

// The effect run after each character a field takes: an autocorrecting app changes the value.
inline constexpr const char* typedEffect = "typed";

}  // namespace SimText
