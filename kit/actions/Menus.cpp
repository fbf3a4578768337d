#include "kit/actions/Menus.hpp"

#include <algorithm>
#include <functional>
#include <set>

#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/OpenMenus.hpp"
#include "kit/platform/Desktop.hpp"

namespace Menus {
namespace {

std::string role(const AXElement& element) { return AX::attribute<std::string>(element, "AXRole").value_or(""); }

void replaceAll(std::string& text, const std::string& what) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) text.erase(at, what.size());
}

void closeAll(pid_t pid) {
  for (const auto& menu : OpenMenus::elements(pid)) AX::perform(menu, "AXCancel");
}

}  // namespace

std::vector<std::string> pathPieces(const std::string& path) {
  std::string unified = path;
  for (size_t at = unified.find("\u2192"); at != std::string::npos; at = unified.find("\u2192", at))
    unified.replace(at, std::string("\u2192").size(), ">");
  std::vector<std::string> result;
  size_t start = 0;
  while (start <= unified.size()) {
    const size_t end = unified.find('>', start);
    std::string piece =
        Text::trimmed(unified.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (!piece.empty()) result.push_back(piece);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return result;
}

std::string normalised(const std::string& title) {
  std::string text = Text::lowered(Text::withoutSoftHyphens(title));
  replaceAll(text, "\u2026");
  replaceAll(text, "...");
  return Text::trimmed(text);
}

std::optional<AXElement> match(const std::string& title, const std::vector<AXElement>& items) {
  const std::string key = normalised(title);
  std::vector<std::string> texts;
  for (const auto& item : items) texts.push_back(normalised(OpenMenus::itemText(item)));
  for (size_t i = 0; i < items.size(); ++i)
    if (texts[i] == key) return items[i];
  for (size_t i = 0; i < items.size(); ++i)
    if (!texts[i].empty() && texts[i].starts_with(key)) return items[i];
  for (size_t i = 0; i < items.size(); ++i)
    if (!texts[i].empty() && texts[i].find(key) != std::string::npos) return items[i];
  return std::nullopt;
}

AXStatus pressAndClose(const AXElement& item, pid_t pid) {
  AXStatus status = AX::perform(item, "AXPress");
  // A web page's <option> is picked, not pressed.
  if (status == AXError::actionUnsupported) status = AX::perform(item, "AXPick");
  closeAll(pid);
  return status;
}

std::string pickFromOpenMenu(const std::string& title, pid_t pid, const std::optional<AXElement>& clicked) {
  Clock& clock = Platform::clock();
  std::vector<AXElement> items;
  for (int poll = 0; poll < 120 && items.empty(); ++poll) {
    items = OpenMenus::items(OpenMenus::elements(pid));
    if (items.empty() && clicked) items = OpenMenus::popoverItems(*clicked);
    if (items.empty()) clock.sleep(0.01);
  }
  if (items.empty()) throw ToolError("No menu opened, so \"" + title + "\" could not be chosen.");
  const auto path = pathPieces(title);
  if (path.empty()) throw ToolError("Pass the title of a menu item.");
  std::optional<AXElement> chosen;
  for (size_t i = 0; i < path.size(); ++i) {
    chosen = match(path[i], items);
    if (!chosen) {
      std::string owner = i == 0 ? "The menu" : "The submenu \"" + path[i - 1] + "\"";
      std::string listed = OpenMenus::titles(items);
      closeAll(pid);
      throw ToolError(owner + " has no item \"" + path[i] + "\". Items: " + listed + ".");
    }
    if (i + 1 < path.size()) {
      AX::perform(*chosen, "AXPress");  // opens the submenu
      std::vector<AXElement> submenus;
      for (const auto& child : AX::children(*chosen))
        if (role(child) == "AXMenu") submenus.push_back(child);
      items = submenus.empty() ? AX::children(*chosen) : OpenMenus::items(submenus);
    }
  }
  AXStatus status = pressAndClose(*chosen, pid);
  if (!AX::acted(status))
    throw ToolError("Could not choose \"" + title + "\": " + AX::message(status) + ".");
  return "Chose \"" + title + "\" from the menu.";
}

}  // namespace Menus
