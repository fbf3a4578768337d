// Choosing a command of an app's menu bar through accessibility, so the app may stay in the background.
#include "kit/actions/Menus.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/OpenMenus.hpp"
#include "kit/platform/Desktop.hpp"

namespace Menus {
namespace {

// The items of the element's submenu; some toolkits hang them right under the element,
// without a menu between.
std::vector<AXElement> submenuItems(const AXElement& element) {
  const auto children = AX::children(element);
  std::vector<AXElement> items;
  for (const auto& child : children)
    if (AX::attribute<std::string>(child, "AXRole") == "AXMenu")
      for (const auto& item : AX::children(child)) items.push_back(item);
  return items.empty() ? children : items;
}

// Firefox builds a menu's items only when the menu opens: an empty one is opened
// through accessibility (which shows nothing and grabs nothing, measured).
std::vector<AXElement> openedSubmenuItems(const AXElement& element, std::vector<AXElement>& opened) {
  auto items = submenuItems(element);
  if (!items.empty() || !AX::acted(AX::perform(element, "AXPress"))) return items;
  opened.push_back(element);
  for (int poll = 0; poll < 50 && items.empty(); ++poll) {
    Platform::clock().sleep(0.02);
    items = submenuItems(element);
  }
  return items;
}

void closeOpened(const std::vector<AXElement>& opened) {
  for (auto menu = opened.rbegin(); menu != opened.rend(); ++menu) AX::perform(*menu, "AXPress");
}

}  // namespace

std::string select(const std::string& path, pid_t pid) {
  const auto pieces = pathPieces(path);
  if (pieces.empty()) throw ToolError("Pass a path like \"File > Export\u2026\".");
  const AXElement app = AX::withTimeout(AX::application(pid), AX::standardTimeout);
  auto bar = AX::attribute<AXElement>(app, "AXMenuBar");
  if (!bar) throw ToolError("The app has no menu bar.");
  std::vector<AXElement> candidates = AX::children(AX::withTimeout(*bar, AX::standardTimeout));
  std::optional<AXElement> chosen;
  std::vector<AXElement> opened;
  for (size_t i = 0; i < pieces.size(); ++i) {
    chosen = match(pieces[i], candidates);
    if (!chosen) {
      ToolError missing("No menu item \"" + pieces[i] + "\"" + (i == 0 ? "" : " under \"" + pieces[i - 1] + "\"") +
                        ". Available: " + OpenMenus::titles(candidates) + ".");
      closeOpened(opened);
      throw missing;
    }
    if (i + 1 < pieces.size()) candidates = openedSubmenuItems(*chosen, opened);
  }
  // Toolkits enable edit commands a moment after their window gets a keyboard.
  for (int look = 0; look < 6 && AX::attribute<bool>(*chosen, "AXEnabled") == false; ++look)
    Platform::clock().sleep(0.04);
  if (AX::attribute<bool>(*chosen, "AXEnabled") == false) {
    closeOpened(opened);
    throw ToolError("\"" + pieces.back() + "\" is disabled right now.");
  }
  AXStatus status = AX::perform(*chosen, "AXPress");
  if (!AX::acted(status)) {
    closeOpened(opened);
    throw ToolError("Could not choose the menu item: " + AX::message(status) + ".");
  }
  std::string joined;
  for (const auto& piece : pieces) joined += (joined.empty() ? "" : " > ") + piece;
  return "Chose " + joined + ".";
}

}  // namespace Menus
