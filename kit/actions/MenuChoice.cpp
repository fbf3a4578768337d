// Choosing an option in the list a pop-up button, menu button or combo box opens.
#include <algorithm>
#include <set>

#include "kit/actions/Menus.hpp"
#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/OpenMenus.hpp"
#include "kit/platform/Desktop.hpp"

namespace Menus {
namespace {

std::string role(const AXElement& element) { return AX::attribute<std::string>(element, "AXRole").value_or(""); }

bool isList(const AXElement& element) {
  const std::string kind = role(element);
  return kind == "AXMenu" || kind == "AXList";
}

// What the element shows now: its value, else its title.
std::optional<std::string> shown(const AXElement& element) {
  if (auto value = AX::attribute<std::string>(element, "AXValue"); value && !value->empty()) return value;
  return AX::attribute<std::string>(element, "AXTitle");
}

ToolError noOption(const std::string& value, const std::vector<AXElement>& options) {
  return ToolError("No option \"" + value + "\". Options: " + OpenMenus::titles(options) + ".");
}

std::string optionTitle(const AXElement& option, const std::string& value) {
  std::string title = OpenMenus::itemText(option);
  return title.empty() ? value : title;
}

}  // namespace

std::vector<AXElement> openMenus(const AXElement& element, pid_t pid) {
  std::vector<AXElement> found;
  auto keep = [&](const std::vector<AXElement>& candidates) {
    for (const auto& candidate : candidates)
      if (isList(candidate) && std::find(found.begin(), found.end(), candidate) == found.end())
        found.push_back(candidate);
  };
  const AXElement app = AX::withTimeout(AX::application(pid), AX::standardTimeout);
  keep(AX::children(app));
  if (auto windows = AX::attribute<std::vector<AXElement>>(app, "AXWindows")) keep(*windows);
  AXElement current = element;
  for (int step = 0; step < 8; ++step) {
    auto parent = AX::attribute<AXElement>(current, "AXParent");
    if (!parent) break;
    current = AX::withTimeout(*parent, AX::standardTimeout);
    keep(AX::children(current));
  }
  keep(AX::children(element));
  return found;
}

std::vector<AXElement> menuItems(const AXElement& element, pid_t pid) {
  return OpenMenus::items(openMenus(element, pid));
}

void close(pid_t pid, const AXElement& element) {
  for (const auto& menu : openMenus(element, pid))
    if (role(menu) == "AXMenu") AX::perform(menu, "AXCancel");
}

bool Choice::shows() const { return now && Text::lowered(*now).find(Text::lowered(title)) != std::string::npos; }

std::string Choice::reply() const {
  std::string text = normalised(title) == normalised(asked)
                         ? "Chose \"" + title + "\""
                         : "No option is exactly \"" + asked + "\", so chose the closest, \"" + title + "\"";
  if (now) text += "; it now shows \"" + *now + "\"";
  return text + ".";
}

std::optional<std::string> shownAfter(const AXElement& element, const std::string& title) {
  Choice read{title, title, std::nullopt, {}};
  for (int poll = 0; poll < 10 && !read.shows(); ++poll) {
    Platform::clock().sleep(0.08);
    read.now = shown(element);
  }
  return read.now;
}

Choice chooseOption(const std::string& value, const AXElement& element, pid_t pid) {
  Clock& clock = Platform::clock();
  std::vector<AXElement> items = menuItems(element, pid);
  if (items.empty()) {
    const auto actions = AX::actions(element);
    const bool presses = std::find(actions.begin(), actions.end(), "AXPress") != actions.end();
    AXStatus status = AX::perform(element, presses ? "AXPress" : "AXShowMenu");
    if (!AX::acted(status)) throw ToolError("Could not open the list: " + AX::message(status) + ".");
    for (int poll = 0; poll < 100 && items.empty(); ++poll) {
      clock.sleep(0.01);
      items = menuItems(element, pid);
    }
  }
  const auto match = Menus::match(value, items);
  if (!match) {
    ToolError missing = noOption(value, items);
    close(pid, element);
    throw missing;
  }
  const std::string title = optionTitle(*match, value);
  AXStatus status = pressAndClose(*match, pid);
  close(pid, element);  // a list that hangs off the element rather than off the app
  if (!AX::acted(status)) throw ToolError("Could not choose \"" + title + "\": " + AX::message(status) + ".");
  return {value, title, shownAfter(element, title), items};
}

std::string choose(const std::string& value, const AXElement& element, pid_t pid) {
  return chooseOption(value, element, pid).reply();
}

}  // namespace Menus
