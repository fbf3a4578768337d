#include "kit/perception/AppList.hpp"

#include <algorithm>

#include "kit/perception/Apps.hpp"
#include "kit/perception/Spaces.hpp"

namespace AppList {
namespace {

std::string appLine(const RunningApp& app, const std::optional<RunningApp>& front) {
  std::string line = "- " + (app.name.empty() ? std::string("?") : app.name) + " (" +
                     (app.bundleID.empty() ? std::string("no bundle id") : app.bundleID) + ", pid " +
                     std::to_string(app.pid) + ")";
  if (front && front->pid == app.pid) line += " [frontmost: the user is working here]";
  if (app.hidden) line += " [hidden]";
  if (Apps::isProtected(app)) line += " [read-only: hosts the agents]";
  return line;
}

bool isListed(const WindowInfo& window) {
  return window.layer == 0 && window.frame.size.width > 40 && window.frame.size.height > 40 &&
         (window.isOnScreen || !window.title.empty());
}

std::string windowLine(const WindowInfo& window, const std::set<SpaceID>& visible) {
  std::string line = "    window " + std::to_string(window.id) + ": \"" + window.title + "\" " +
                     std::to_string(static_cast<int64_t>(window.frame.size.width)) + "x" +
                     std::to_string(static_cast<int64_t>(window.frame.size.height));
  if (!window.isOnScreen) {
    line += Spaces::isOnHiddenSpace(window.id, visible) ? " (on another Space, operable)" : " (minimized or hidden)";
  }
  return line;
}

}  // namespace

std::string text() {
  auto apps = Apps::running();
  std::stable_sort(apps.begin(), apps.end(), [](const RunningApp& a, const RunningApp& b) { return a.name < b.name; });
  const auto front = Apps::frontmost();
  const auto allWindows = Apps::frontToBack();
  const auto visible = Spaces::visible();
  std::string text;
  for (const auto& app : apps) {
    if (!text.empty()) text += '\n';
    text += appLine(app, front);
    for (const auto& window : allWindows) {
      if (window.pid == app.pid && isListed(window)) text += '\n' + windowLine(window, visible);
    }
  }
  return text;
}

}  // namespace AppList
