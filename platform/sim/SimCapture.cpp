#include <algorithm>
#include <cmath>

#include "platform/sim/SimCapture.hpp"

std::array<uint8_t, 3> SimCapture::fillColor(WindowNumber window) {
  // Distinct, light enough that black outlines stand out.
  uint32_t hash = window * 2654435761u;
  return {static_cast<uint8_t>(96 + (hash >> 8) % 160), static_cast<uint8_t>(96 + (hash >> 16) % 160),
          static_cast<uint8_t>(96 + (hash >> 24) % 160)};
}

SimCapture::Shareable SimCapture::shareableWindows(bool onScreenOnly) {
  std::lock_guard guard(model_.lock);
  if (model_.captureRefusal) return {{}, model_.captureRefusal};
  Shareable content;
  for (const auto& window : model_.windows) {
    if (model_.isShown(window) && (!onScreenOnly || model_.isOnScreen(window))) content.windows.push_back(window.id);
  }
  return content;
}

Image SimCapture::render(const SimModel::Window& window, int width, int height) const {
  auto color = fillColor(window.id);
  Image image(width, height, color[0], color[1], color[2]);
  const Rect& frame = window.traits.frame;
  const double scaleX = width / frame.size.width, scaleY = height / frame.size.height;
  auto fill = [&](double x0, double y0, double x1, double y1, uint8_t r, uint8_t g, uint8_t b) {
    for (int y = std::max(0, int(y0)); y < std::min(height, int(std::ceil(y1))); ++y) {
      for (int x = std::max(0, int(x0)); x < std::min(width, int(std::ceil(x1))); ++x) {
        uint8_t* p = image.pixel(x, y);
        p[0] = r, p[1] = g, p[2] = b;
      }
    }
  };
  fill(0, 0, width, 22 * scaleY, color[0] / 2, color[1] / 2, color[2] / 2);  // title bar
  std::vector<SimModel::NodeID> pending{window.node};
  while (!pending.empty()) {
    SimModel::NodeID id = pending.back();
    pending.pop_back();
    const SimModel::Node& node = model_.nodes.at(id);
    pending.insert(pending.end(), node.children.begin(), node.children.end());
    auto position = node.attributes.find("AXPosition");
    auto size = node.attributes.find("AXSize");
    if (position == node.attributes.end() || size == node.attributes.end()) continue;
    const Point p = std::get<Point>(position->second);
    const Size s = std::get<Size>(size->second);
    double x0 = (p.x - frame.origin.x) * scaleX, y0 = (p.y - frame.origin.y) * scaleY;
    double x1 = x0 + s.width * scaleX, y1 = y0 + s.height * scaleY;
    fill(x0, y0, x1, y0 + 1, 0, 0, 0);
    fill(x0, y1 - 1, x1, y1, 0, 0, 0);
    fill(x0, y0, x0 + 1, y1, 0, 0, 0);
    fill(x1 - 1, y0, x1, y1, 0, 0, 0);
  }
  return image;
}

std::optional<Image> SimCapture::displayImage(const std::vector<WindowNumber>& wanted, Rect rect, double scale) {
  std::lock_guard guard(model_.lock);
  Image canvas(std::max(1, int(std::lround(rect.size.width * scale))), std::max(1, int(std::lround(rect.size.height * scale))),
               windowBackground[0], windowBackground[1], windowBackground[2]);
  // Back to front, so that front windows cover the ones behind.
  for (auto it = model_.windows.rbegin(); it != model_.windows.rend(); ++it) {
    if (std::find(wanted.begin(), wanted.end(), it->id) == wanted.end() || !model_.isOnScreen(*it)) continue;
    const Rect& frame = it->traits.frame;
    Image picture = render(*it, std::max(1, int(std::lround(frame.size.width * scale))),
                           std::max(1, int(std::lround(frame.size.height * scale))));
    canvas.draw(picture, int(std::lround((frame.origin.x - rect.origin.x) * scale)),
                int(std::lround((frame.origin.y - rect.origin.y) * scale)));
  }
  return canvas;
}

std::optional<Image> SimCapture::windowImage(WindowNumber window, int width, int height) {
  std::lock_guard guard(model_.lock);
  for (const auto& each : model_.windows) {
    if (each.id == window && model_.isShown(each)) return render(each, width, height);
  }
  return std::nullopt;
}
