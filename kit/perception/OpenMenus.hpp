#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

#include "kit/platform/AXTypes.hpp"

// The menus an app has open, read through accessibility.
namespace OpenMenus {

// The app's open menus: those that hang off the app (or a popup window of it) with a frame on screen.
std::vector<AXElement> elements(pid_t pid);
// Their items.
std::vector<AXElement> items(const std::vector<AXElement>& menus);
// The items of a popover the element (or a near ancestor) shows, a menu button's menu
// drawn inside its window: the buttons, check boxes and radio buttons in it.
std::vector<AXElement> popoverItems(const AXElement& element);
// An item's text: its title, else its value.
std::string itemText(const AXElement& item);
// The texts of the items, joined with ", ".
std::string titles(const std::vector<AXElement>& items);

}  // namespace OpenMenus
