#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "kit/platform/AXTypes.hpp"

// Menus operated through accessibility only, so they work while the app stays in the background.
namespace Menus {

// Titles compare without soft hyphens, case, ellipses and outer spaces: exact first,
// then prefix, then substring.
std::string normalised(const std::string& title);
std::optional<AXElement> match(const std::string& title, const std::vector<AXElement>& items);

// Presses the item, then closes every open menu; the press's status.
AXStatus pressAndClose(const AXElement& item, pid_t pid);
// Chooses in the menu a click just opened ("Transformations > Make Upper Case"), or in
// the popover the clicked element shows; the text to append to the click's. Fails with a
// ToolError, closing the menu first.
std::string pickFromOpenMenu(const std::string& title, pid_t pid, const std::optional<AXElement>& clicked = std::nullopt);

// Splits "File > Export…" (also with "→") into trimmed, non-empty pieces.
std::vector<std::string> pathPieces(const std::string& path);

// The menus or lists an element has open (a pop-up button's list), and their items.
std::vector<AXElement> openMenus(const AXElement& element, pid_t pid);
std::vector<AXElement> menuItems(const AXElement& element, pid_t pid);
// Closes the menus the element has open.
void close(pid_t pid, const AXElement& element);
// An option chosen for the value an agent asked for, and what the element shows after it.
struct Choice {
  std::string asked, title;
  std::optional<std::string> now;
  std::vector<AXElement> options;  // all the list had, the chosen one among them
  bool shows() const;
  std::string reply() const;
};
// Chooses an option of a pop-up, menu button or combo box through accessibility. Fails
// with a ToolError (the list closed again) when no option matches.
Choice chooseOption(const std::string& value, const AXElement& element, pid_t pid);
// What the element shows, read until it shows the title (bounded).
std::optional<std::string> shownAfter(const AXElement& element, const std::string& title);
// The reply for the agent.
std::string choose(const std::string& value, const AXElement& element, pid_t pid);

// Chooses a command of the app's menu bar by its path; the reply for the agent.
std::string select(const std::string& path, pid_t pid);

}  // namespace Menus
