#include "kit/perception/Spaces.hpp"

#include <algorithm>

#include "kit/common/MainQueue.hpp"
#include "kit/platform/Desktop.hpp"

namespace Spaces {

std::vector<SpaceID> of(WindowNumber window) {
  auto desktop = Platform::desktopIfAny();
  if (!desktop) return {};
  return MainQueue::shared().sync([&] { return desktop->windowServer().spaces(window); });
}

std::set<SpaceID> visible() {
  auto desktop = Platform::desktopIfAny();
  if (!desktop) return {};
  return MainQueue::shared().sync([&] { return desktop->windowServer().visibleSpaces(); });
}

bool isOnHiddenSpace(WindowNumber window, const std::set<SpaceID>& visible) {
  auto spaces = of(window);
  return !spaces.empty() &&
         std::none_of(spaces.begin(), spaces.end(), [&](SpaceID space) { return visible.contains(space); });
}

}  // namespace Spaces
