#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kit/common/Geometry.hpp"

// How one listed element reads in a state.
namespace ElementLine {

// "popup button", "secure text field", "menu bar item".
std::string roleName(const std::string& role, const std::string& subrole);
// An action as agents name it: without "AX"; a custom action by its name.
std::string actionName(const std::string& action);
// In double quotes with line breaks as \n; cut after `limit` characters with the full length noted.
std::string quoted(const std::string& text, size_t limit);

struct Parts {
  std::string role;
  std::string subrole;
  std::string label;
  std::optional<std::string> value;
  bool focused = false;
  bool selected = false;
  bool disabled = false;
  std::optional<bool> expanded;  // only for expandable roles
  std::optional<Rect> frame;     // screen points
  std::vector<std::string> actions;
};

std::string compose(const Parts& parts, const std::function<Point(Point)>& toImage, double scale);

}  // namespace ElementLine
