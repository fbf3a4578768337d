#include "kit/perception/Spaces.hpp"

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

}  // namespace Spaces
