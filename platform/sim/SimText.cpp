#include "platform/sim/SimText.hpp"

#include <algorithm>

#include "kit/common/Text.hpp"
#include "platform/sim/SimKeyboardLayouts.hpp"

namespace SimText {

std::optional<SimModel::NodeID> focusedField(const SimModel& model, pid_t pid) {
  auto app = model.apps.find(pid);
  if (app == model.apps.end()) return std::nullopt;
  const auto& attributes = model.nodes.at(app->second.node).attributes;
  auto focused = attributes.find("AXFocusedUIElement");
  if (focused == attributes.end() || !std::holds_alternative<AXElement>(focused->second)) return std::nullopt;
  auto node = SimModel::nodeOf(std::get<AXElement>(focused->second));
  if (!node || !model.nodes.contains(*node)) return std::nullopt;
  return node;
}

std::string value(const SimModel::Node& node) {
  auto found = node.attributes.find("AXValue");
  if (found == node.attributes.end() || !std::holds_alternative<std::string>(found->second)) return "";
  return std::get<std::string>(found->second);
}

TextRange selection(const SimModel::Node& node) {
  const int64_t length = static_cast<int64_t>(Text::utf16(value(node)).size());
  auto found = node.attributes.find("AXSelectedTextRange");
  if (found == node.attributes.end() || !std::holds_alternative<TextRange>(found->second)) return {length, 0};
  TextRange range = std::get<TextRange>(found->second);
  range.location = std::clamp<int64_t>(range.location, 0, length);
  range.length = std::clamp<int64_t>(range.length, 0, length - range.location);
  return range;
}

std::string selectedText(const SimModel::Node& node) {
  const TextRange range = selection(node);
  return Text::fromUTF16(Text::utf16(value(node)).substr(size_t(range.location), size_t(range.length)));
}

void replaceSelection(SimModel::Node& node, const std::string& text) {
  const TextRange range = selection(node);
  std::u16string units = Text::utf16(value(node));
  const std::u16string inserted = Text::utf16(text);
  units.replace(size_t(range.location), size_t(range.length), inserted);
  node.attributes["AXValue"] = Text::fromUTF16(units);
  node.attributes["AXSelectedTextRange"] = TextRange{range.location + int64_t(inserted.size()), 0};
}

bool press(SimModel::Node& node, const std::string& text, uint32_t keyCode) {
  if (node.attributes.contains("SimIgnoresKeys") || !node.attributes.contains("AXValue")) return false;
  if (keyCode == SimKeyboardLayouts::namedCode("BackSpace")) {
    TextRange range = selection(node);
    if (range.length == 0 && range.location > 0) {
      // One character back; a surrogate pair counts as one.
      const std::u16string units = Text::utf16(value(node));
      const bool pair = range.location >= 2 && units[size_t(range.location) - 1] >= 0xDC00 &&
                        units[size_t(range.location) - 1] < 0xE000;
      range = {range.location - (pair ? 2 : 1), pair ? 2 : 1};
      node.attributes["AXSelectedTextRange"] = range;
    }
    replaceSelection(node, "");
    return true;
  }
  if (keyCode == SimKeyboardLayouts::namedCode("Return")) {
    if (node.role != "AXTextArea") return false;
    replaceSelection(node, "\n");
    return true;
  }
  if (keyCode == SimKeyboardLayouts::namedCode("Tab")) return false;
  if (text.empty()) return false;
  replaceSelection(node, text);
  return true;
}

}  // namespace SimText

namespace SimText {
namespace {

Point origin(const SimModel::Node& node) {
  auto found = node.attributes.find("AXPosition");
  return found != node.attributes.end() && std::holds_alternative<Point>(found->second) ? std::get<Point>(found->second)
                                                                                          : Point{};
}

// The grid place (column, line) of each unit offset, the end included.
std::vector<std::pair<int64_t, int64_t>> places(const std::u16string& units) {
  std::vector<std::pair<int64_t, int64_t>> result;
  int64_t column = 0, line = 0;
  for (char16_t unit : units) {
    result.push_back({column, line});
    if (unit == u'\n') {
      column = 0;
      ++line;
    } else {
      ++column;
    }
  }
  result.push_back({column, line});
  return result;
}

}  // namespace

std::optional<TextRange> rangeAt(const SimModel::Node& node, Point point) {
  const std::u16string units = Text::utf16(value(node));
  const Point at = origin(node);
  const auto grid = places(units);
  for (size_t i = 0; i < units.size(); ++i) {
    const double left = at.x + double(grid[i].first) * unitWidth, top = at.y + double(grid[i].second) * lineHeight;
    if (point.x >= left && point.x < left + unitWidth && point.y >= top && point.y < top + lineHeight)
      return TextRange{int64_t(i), 1};
  }
  // Right of a line's end: the place after its last character.
  for (size_t i = 0; i <= units.size(); ++i) {
    const bool lineEnd = i == units.size() || units[i] == u'\n';
    const double left = at.x + double(grid[i].first) * unitWidth, top = at.y + double(grid[i].second) * lineHeight;
    if (lineEnd && point.x >= left && point.y >= top && point.y < top + lineHeight) return TextRange{int64_t(i), 0};
  }
  return std::nullopt;
}

std::optional<Rect> bounds(const SimModel::Node& node, TextRange range) {
  const std::u16string units = Text::utf16(value(node));
  if (range.location < 0 || range.length < 0 || range.location + range.length > int64_t(units.size())) return std::nullopt;
  const Point at = origin(node);
  const auto grid = places(units);
  const auto [column, line] = grid[size_t(range.location)];
  const auto [endColumn, endLine] = grid[size_t(range.location + range.length)];
  const double width = endLine == line ? double(endColumn - column) * unitWidth : 0;
  return Rect{{at.x + double(column) * unitWidth, at.y + double(line) * lineHeight},
              {width, double(endLine - line + 1) * lineHeight}};
}

std::optional<std::string> style(const SimModel::Node& node) {
  if (auto mixed = node.attributes.find("SimMixedStyle");
      mixed != node.attributes.end() && mixed->second == AXValue(true))
    return std::nullopt;
  auto found = node.attributes.find("SimStyle");
  if (found != node.attributes.end() && std::holds_alternative<std::string>(found->second))
    return std::get<std::string>(found->second);
  return "plain";
}

}  // namespace SimText
