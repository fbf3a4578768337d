// Choosing a command of an app's menu bar through accessibility, so the app may stay in the background.
#include "kit/actions/Menus.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/OpenMenus.hpp"
#include "kit/platform/Desktop.hpp"

namespace Menus {

std::string select(const std::string& path, pid_t pid) {
  const auto pieces = pathPieces(path);
  if (pieces.empty()) throw ToolError("Pass a path like \"File > Export\u2026\".");
  const AXElement app = AX::withTimeout(AX::application(pid), AX::standardTimeout);
  auto bar = AX::attribute<AXElement>(app, "AXMenuBar");
  if (!bar) throw ToolError("The app has no menu bar.");
  std::vector<AXElement> candidates = AX::children(AX::withTimeout(*bar, AX::standardTimeout));
  std::optional<AXElement> chosen;
  for (size_t i = 0; i < pieces.size(); ++i) {
    chosen = match(pieces[i], candidates);
    if (!chosen) {
      throw ToolError("No menu item \"" + pieces[i] + "\"" + (i == 0 ? "" : " under \"" + pieces[i - 1] + "\"") +
                      ". Available: " + OpenMenus::titles(candidates) + ".");
    }
    if (i + 1 == pieces.size()) break;
    // The next pieces are items of the matched element's submenu; some toolkits hang
    // the items right under the element, without a menu between.
    const auto children = AX::children(*chosen);
    candidates.clear();
    for (const auto& child : children)
      if (AX::attribute<std::string>(child, "AXRole") == "AXMenu")
        for (const auto& item : AX::children(child)) candidates.push_back(item);
    if (candidates.empty()) candidates = children;
  }
  // Toolkits enable edit commands a moment after their window gets a keyboard.
  for (int look = 0; look < 6 && AX::attribute<bool>(*chosen, "AXEnabled") == false; ++look)
    Platform::clock().sleep(0.04);
  if (AX::attribute<bool>(*chosen, "AXEnabled") == false)
    throw ToolError("\"" + pieces.back() + "\" is disabled right now.");
  AXStatus status = AX::perform(*chosen, "AXPress");
  if (!AX::acted(status))
    throw ToolError("Could not choose the menu item: " + AX::message(status) + ".");
  std::string joined;
  for (const auto& piece : pieces) joined += (joined.empty() ? "" : " > ") + piece;
  return "Chose " + joined + ".";
}

}  // namespace Menus
