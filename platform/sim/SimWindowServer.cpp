#include "platform/sim/SimWindowServer.hpp"

#include <algorithm>

Json SimWindowServer::windowList(uint32_t options, WindowNumber relativeTo) {
  std::lock_guard guard(model_.lock);
  Json list = Json::array();
  for (const auto& window : model_.windows) {
    if (!model_.isShown(window)) continue;
    bool onScreen = model_.isOnScreen(window);
    if ((options & WindowListOption::onScreenOnly) && !onScreen) continue;
    if ((options & WindowListOption::includingWindow) && !(options & WindowListOption::onScreenOnly) &&
        window.id != relativeTo) {
      continue;
    }
    const Rect& f = window.traits.frame;
    list.push_back({{WindowKey::number, window.id},
                    {WindowKey::ownerPID, window.pid},
                    {WindowKey::ownerName, model_.apps.at(window.pid).record.name},
                    {WindowKey::name, window.traits.title},
                    {WindowKey::bounds, {{"X", f.origin.x}, {"Y", f.origin.y}, {"Width", f.size.width}, {"Height", f.size.height}}},
                    {WindowKey::layer, window.traits.layer},
                    {WindowKey::isOnscreen, onScreen},
                    {WindowKey::alpha, window.traits.alpha}});
  }
  return list;
}

std::optional<pid_t> SimWindowServer::frontProcess() {
  std::lock_guard guard(model_.lock);
  return model_.front;
}

std::vector<SpaceID> SimWindowServer::spaces(WindowNumber window) {
  std::lock_guard guard(model_.lock);
  const SimModel::Window* found = model_.window(window);
  if (found && found->traits.space != 0) return {found->traits.space};
  return {};
}

std::set<SpaceID> SimWindowServer::visibleSpaces() {
  std::lock_guard guard(model_.lock);
  return model_.visibleSpaces;
}

std::optional<WindowInfo> SimWindowServer::windowAt(Point point) {
  std::lock_guard guard(model_.lock);
  const SimModel::Window* hit = model_.windowAt(point);
  if (hit == nullptr) return std::nullopt;
  WindowInfo info;
  info.id = hit->id;
  info.pid = hit->pid;
  return info;
}

std::optional<WindowNumber> SimWindowServer::frontWindow() {
  std::lock_guard guard(model_.lock);
  for (const auto& window : model_.windows)
    if (model_.front && window.pid == *model_.front && window.traits.layer == 0 && model_.isOnScreen(window))
      return window.id;
  return std::nullopt;
}

bool SimWindowServer::activate(WindowNumber number) {
  std::lock_guard guard(model_.lock);
  auto& windows = model_.windows;
  auto found = std::find_if(windows.begin(), windows.end(), [&](const SimModel::Window& w) { return w.id == number; });
  if (found == windows.end()) return false;
  model_.front = found->pid;
  model_.raise(number);
  return true;
}

std::vector<DisplayInfo> SimWindowServer::displays() {
  std::lock_guard guard(model_.lock);
  return model_.displays;
}

std::optional<DisplayInfo> SimWindowServer::createInvisibleDisplay(Size size) {
  std::lock_guard guard(model_.lock);
  double right = 0;
  uint32_t id = 0xAC01;
  for (const auto& display : model_.displays) {
    right = std::max(right, display.frame.origin.x + display.frame.size.width);
    if (display.isInvisible) id = std::max(id, display.id + 1);
  }
  DisplayInfo invisible{id, {{right, 0}, size}, false, true};
  model_.displays.push_back(invisible);
  return invisible;
}

void SimWindowServer::removeInvisibleDisplay(uint32_t id) {
  std::lock_guard guard(model_.lock);
  std::erase_if(model_.displays, [&](const DisplayInfo& display) { return display.isInvisible && display.id == id; });
}

WindowServer::DragSource SimWindowServer::dragSource(pid_t pid) {
  std::lock_guard guard(model_.lock);
  auto app = model_.apps.find(pid);
  if (app == model_.apps.end()) return {};
  return {app->second.dragsBegun, app->second.holdsDragData};
}

std::vector<WindowNumber> SimWindowServer::drawingOrder() {
  std::lock_guard guard(model_.lock);
  return model_.drawingOrder();
}
