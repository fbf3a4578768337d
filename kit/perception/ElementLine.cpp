#include "kit/perception/ElementLine.hpp"

#include <cctype>
#include <cmath>

#include "kit/common/Text.hpp"

namespace ElementLine {
namespace {

std::string humanized(std::string name) {
  if (name.starts_with("AX")) name.erase(0, 2);
  if (auto popUp = name.find("PopUp"); popUp != std::string::npos) name.replace(popUp, 5, "Popup");
  std::string words;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (std::isupper(c) && i > 0) words += ' ';
    words += static_cast<char>(std::tolower(c));
  }
  return words;
}

std::string escapedLineBreaks(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      result += "\\n";
    } else if (text[i] == '\n') {
      result += "\\n";
    } else {
      result += text[i];
    }
  }
  return result;
}

std::string rounded(double value) { return std::to_string(std::lround(value)); }

}  // namespace

std::string roleName(const std::string& role, const std::string& subrole) {
  if (role == "AXTextField" && subrole == "AXSecureTextField") return "secure text field";
  if (role == "AXButton" && subrole.ends_with("Button") && subrole != "AXButton") return humanized(subrole);
  return humanized(role);
}

std::string actionName(const std::string& action) {
  if (action.starts_with("Name:")) {
    std::string name = action.substr(5);
    return name.substr(0, name.find('\n'));
  }
  return action.starts_with("AX") ? action.substr(2) : action;
}

std::string quoted(const std::string& text, size_t limit) {
  const size_t length = Text::characterCount(text);
  if (length <= limit) return "\"" + escapedLineBreaks(text) + "\"";
  return "\"" + escapedLineBreaks(Text::prefixCharacters(text, limit)) + "\u2026\" (" + std::to_string(length) +
         " chars)";
}

std::string compose(const Parts& parts, const std::function<Point(Point)>& toImage, double scale) {
  std::vector<std::string> pieces{roleName(parts.role, parts.subrole)};
  if (!parts.label.empty()) pieces.push_back(quoted(parts.label, 120));
  if (parts.value) pieces.push_back("value=" + quoted(*parts.value, 300));
  std::vector<std::string> states;
  if (parts.focused) states.push_back("focused");
  if (parts.selected) states.push_back("selected");
  if (parts.disabled) states.push_back("disabled");
  if (parts.expanded) states.push_back(*parts.expanded ? "expanded" : "collapsed");
  if (!states.empty()) {
    std::string joined = "(";
    for (size_t i = 0; i < states.size(); ++i) joined += (i ? ", " : "") + states[i];
    pieces.push_back(joined + ")");
  }
  if (parts.frame) {
    Point corner = toImage(parts.frame->origin);
    pieces.push_back("@" + rounded(corner.x) + "," + rounded(corner.y) + " " + rounded(parts.frame->size.width * scale) +
                     "x" + rounded(parts.frame->size.height * scale));
  }
  if (!parts.actions.empty()) {
    std::string joined = "actions: ";
    for (size_t i = 0; i < parts.actions.size(); ++i) joined += (i ? ", " : "") + actionName(parts.actions[i]);
    pieces.push_back(joined);
  }
  std::string line;
  for (const auto& piece : pieces) line += (line.empty() ? "" : " ") + piece;
  return line;
}

}  // namespace ElementLine
