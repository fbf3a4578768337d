#include "kit/perception/AfterAction.hpp"

#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

namespace AfterAction {

void settle() { Platform::clock().sleep(0.15); }

std::optional<WindowInfo> appearedWindow(const RunningApp& app, const std::set<WindowNumber>& before) {
  for (const auto& window : Apps::windows(app, false)) {
    if (before.contains(window.id) || window.layer != 0 || window.title.empty()) continue;
    if (window.frame.size.width <= 40 || window.frame.size.height <= 40) continue;
    if (window.isOnScreen || Apps::isOnAnotherSpace(window)) return window;
  }
  return std::nullopt;
}

std::optional<WindowInfo> ownWindow(std::optional<WindowNumber> number, pid_t pid) {
  if (!number) return std::nullopt;
  auto window = Apps::window(*number);
  if (!window || window->pid != pid) return std::nullopt;
  return window;
}

}  // namespace AfterAction
