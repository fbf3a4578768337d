#include "kit/perception/OpenMenus.hpp"

#include <algorithm>
#include <functional>
#include <set>

#include "kit/perception/AX.hpp"

namespace OpenMenus {
namespace {

const std::set<std::string> itemRoles{"AXMenuItem", "AXStaticText", "AXTextField", "AXCell", "AXRow"};

std::string role(const AXElement& element) { return AX::attribute<std::string>(element, "AXRole").value_or(""); }

bool isShown(const AXElement& element) {
  auto frame = AX::frame(element);
  return frame && frame->size.width > 0 && frame->size.height > 0;
}

}  // namespace

std::vector<AXElement> elements(pid_t pid) {
  // Open menus hang off the app (or a popup window of it) and have a frame on screen.
  std::vector<AXElement> menus;
  std::function<void(const AXElement&, int)> look = [&](const AXElement& element, int depth) {
    for (const auto& child : AX::children(element)) {
      std::string childRole = role(child);
      if ((childRole == "AXMenu" || childRole == "AXList") && isShown(child)) {
        if (std::find(menus.begin(), menus.end(), child) == menus.end()) menus.push_back(child);
      } else if (depth < 2 && (childRole == "AXWindow" || childRole == "AXMenu" || childRole == "AXGroup")) {
        look(child, depth + 1);
      }
    }
  };
  look(AX::application(pid), 0);
  return menus;
}

std::vector<AXElement> items(const std::vector<AXElement>& menus) {
  std::vector<AXElement> items;
  for (const auto& menu : menus)
    for (const auto& child : AX::children(menu))
      if (itemRoles.contains(role(child))) items.push_back(child);
  return items;
}

std::vector<AXElement> popoverItems(const AXElement& element) {
  static const std::set<std::string> pressable{"AXButton", "AXCheckBox", "AXRadioButton", "AXMenuItem"};
  std::vector<AXElement> found;
  std::function<void(const AXElement&, int)> look = [&](const AXElement& container, int depth) {
    for (const auto& child : AX::children(container)) {
      const std::string childRole = role(child);
      if (pressable.contains(childRole)) found.push_back(child);
      else if (depth < 8 && childRole == "AXGroup") look(child, depth + 1);
    }
  };
  // A click by pixel names the deepest element there, perhaps the button's icon.
  std::optional<AXElement> current = element;
  for (int up = 0; up < 3 && current && found.empty(); ++up) {
    for (const auto& child : AX::children(*current))
      if (role(child) == "AXPopover" && isShown(child)) look(child, 0);
    current = AX::attribute<AXElement>(*current, "AXParent");
  }
  return found;
}

std::string itemText(const AXElement& item) {
  if (auto title = AX::attribute<std::string>(item, "AXTitle"); title && !title->empty()) return *title;
  return AX::attribute<std::string>(item, "AXValue").value_or("");
}

std::string titles(const std::vector<AXElement>& items) {
  std::string joined;
  for (const auto& item : items) {
    std::string text = itemText(item);
    if (text.empty()) continue;
    joined += (joined.empty() ? "" : ", ") + text;
  }
  return joined;
}

}  // namespace OpenMenus
