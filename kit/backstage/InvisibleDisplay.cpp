#include "kit/backstage/InvisibleDisplay.hpp"

#include <ctime>

#include "kit/common/Log.hpp"
#include "kit/common/SettingsFile.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/platform/Desktop.hpp"

namespace InvisibleDisplay {
namespace {

constexpr double creationWindow = 1800;
constexpr size_t creationsAllowed = 3;

// Counts this creation unless too many happened lately; false when refused.
bool mayCreate() {
  const SettingsFile settings = SettingsFile::user();
  const double now = double(std::time(nullptr));
  Json recent = Json::array();
  if (auto all = settings.read()) {
    if (auto times = all->find("BackstageCreations"); times != all->end() && times->is_array()) {
      for (const Json& time : *times)
        if (time.is_number() && now - time.get<double>() < creationWindow) recent.push_back(time);
    }
  }
  if (recent.size() >= creationsAllowed) {
    Log::info(Log::backstage, std::to_string(recent.size()) + " backstage displays in the last " +
                                  std::to_string(int(creationWindow / 60)) + " minutes; going without one");
    return false;
  }
  recent.push_back(now);
  try {
    settings.set("BackstageCreations", recent);
  } catch (const ToolError& error) {
    Log::error(Log::backstage, error.description);  // an unreadable settings file is not ours to fix
  }
  return true;
}

}  // namespace

Size sizeFor(const std::vector<DisplayInfo>& displays) {
  Size largest;
  for (const auto& display : displays) {
    if (display.isInvisible) continue;
    if (display.frame.size.width * display.frame.size.height > largest.width * largest.height)
      largest = display.frame.size;
  }
  return {largest.width * 3, largest.height};
}

std::optional<DisplayInfo> listed(uint32_t id) {
  for (const auto& display : Platform::desktop().windowServer().displays())
    if (display.isInvisible && display.id == id) return display;
  return std::nullopt;
}

std::optional<DisplayInfo> create() {
  WindowServer& server = Platform::desktop().windowServer();
  const Size size = sizeFor(server.displays());
  if (size.width <= 0 || !mayCreate()) return std::nullopt;
  auto created = server.createInvisibleDisplay(size);
  if (!created) {
    Log::error(Log::backstage, "Could not create the backstage display");
    return std::nullopt;
  }
  Clock& clock = Platform::clock();
  for (int check = 0; check < 40; ++check) {
    if (auto online = listed(created->id)) return online;
    clock.sleep(0.05);
  }
  Log::error(Log::backstage, "Backstage display " + std::to_string(created->id) + " did not come online");
  server.removeInvisibleDisplay(created->id);
  return std::nullopt;
}

}  // namespace InvisibleDisplay
