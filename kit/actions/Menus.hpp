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
// Chooses in the menu a click just opened ("Transformations > Make Upper Case"); the
// text to append to the click's. Fails with a ToolError, closing the menu first.
std::string pickFromOpenMenu(const std::string& title, pid_t pid);

}  // namespace Menus
