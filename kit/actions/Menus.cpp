#include "kit/actions/Menus.hpp"

#include <algorithm>
#include <functional>
#include <set>

#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/platform/Desktop.hpp"

namespace Menus {
namespace {

const std::set<std::string> itemRoles{"AXMenuItem", "AXStaticText", "AXTextField", "AXCell", "AXRow"};

std::string role(const AXElement& element) { return AX::attribute<std::string>(element, "AXRole").value_or(""); }

bool isShown(const AXElement& element) {
  auto frame = AX::frame(element);
  return frame && frame->size.width > 0 && frame->size.height > 0;
}

void replaceAll(std::string& text, const std::string& what) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) text.erase(at, what.size());
}

std::vector<std::string> pieces(const std::string& title) {
  std::vector<std::string> result;
  size_t start = 0;
  while (start <= title.size()) {
    size_t end = title.find('>', start);
    std::string piece = Text::trimmed(title.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (!piece.empty()) result.push_back(piece);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return result;
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

void closeAll(pid_t pid) {
  for (const auto& menu : openMenuElements(pid)) AX::perform(menu, "AXCancel");
}

}  // namespace

std::string normalised(const std::string& title) {
  std::string text = Text::lowered(Text::withoutSoftHyphens(title));
  replaceAll(text, "\u2026");
  replaceAll(text, "...");
  return Text::trimmed(text);
}

std::string itemText(const AXElement& item) {
  if (auto title = AX::attribute<std::string>(item, "AXTitle"); title && !title->empty()) return *title;
  return AX::attribute<std::string>(item, "AXValue").value_or("");
}

std::optional<AXElement> match(const std::string& title, const std::vector<AXElement>& items) {
  const std::string key = normalised(title);
  std::vector<std::string> texts;
  for (const auto& item : items) texts.push_back(normalised(itemText(item)));
  for (size_t i = 0; i < items.size(); ++i)
    if (texts[i] == key) return items[i];
  for (size_t i = 0; i < items.size(); ++i)
    if (!texts[i].empty() && texts[i].starts_with(key)) return items[i];
  for (size_t i = 0; i < items.size(); ++i)
    if (!texts[i].empty() && texts[i].find(key) != std::string::npos) return items[i];
  return std::nullopt;
}

std::vector<AXElement> openMenuElements(pid_t pid) {
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

std::vector<AXElement> menuItems(const std::vector<AXElement>& menus) {
  std::vector<AXElement> items;
  for (const auto& menu : menus)
    for (const auto& child : AX::children(menu))
      if (itemRoles.contains(role(child))) items.push_back(child);
  return items;
}

AXStatus pressAndClose(const AXElement& item, pid_t pid) {
  AXStatus status = AX::perform(item, "AXPress");
  closeAll(pid);
  return status;
}

std::string pickFromOpenMenu(const std::string& title, pid_t pid) {
  Clock& clock = Platform::clock();
  std::vector<AXElement> items;
  for (int poll = 0; poll < 120 && items.empty(); ++poll) {
    items = menuItems(openMenuElements(pid));
    if (items.empty()) clock.sleep(0.01);
  }
  if (items.empty()) throw ToolError("No menu opened, so \"" + title + "\" could not be chosen.");
  const auto path = pieces(title);
  if (path.empty()) throw ToolError("Pass the title of a menu item.");
  std::optional<AXElement> chosen;
  for (size_t i = 0; i < path.size(); ++i) {
    chosen = match(path[i], items);
    if (!chosen) {
      std::string owner = i == 0 ? "The menu" : "The submenu \"" + path[i - 1] + "\"";
      std::string listed = titles(items);
      closeAll(pid);
      throw ToolError(owner + " has no item \"" + path[i] + "\". Items: " + listed + ".");
    }
    if (i + 1 < path.size()) {
      AX::perform(*chosen, "AXPress");  // opens the submenu
      std::vector<AXElement> submenus;
      for (const auto& child : AX::children(*chosen))
        if (role(child) == "AXMenu") submenus.push_back(child);
      items = submenus.empty() ? AX::children(*chosen) : menuItems(submenus);
    }
  }
  AXStatus status = pressAndClose(*chosen, pid);
  if (status != AXError::success && status != AXError::cannotComplete)
    throw ToolError("Could not choose \"" + title + "\": " + AX::message(status) + ".");
  return "Chose \"" + title + "\" from the menu.";
}

}  // namespace Menus
