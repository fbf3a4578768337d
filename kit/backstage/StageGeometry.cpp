#include "kit/backstage/StageGeometry.hpp"

#include <algorithm>
#include <set>

namespace StageGeometry {
namespace {

bool insideAny(Point point, const std::vector<Rect>& rects) {
  return std::any_of(rects.begin(), rects.end(), [&](const Rect& rect) { return rect.contains(point); });
}

bool within(const Rect& inner, const Rect& outer) {
  return inner.origin.x >= outer.origin.x && inner.origin.y >= outer.origin.y &&
         inner.origin.x + inner.size.width <= outer.origin.x + outer.size.width &&
         inner.origin.y + inner.size.height <= outer.origin.y + outer.size.height;
}

}  // namespace

bool isCovered(const Rect& window, const std::vector<Rect>& inFront, const std::vector<Rect>& displays) {
  constexpr double step = 8, inset = 4;
  bool sampled = false;
  for (double y = window.origin.y + inset; y < window.origin.y + window.size.height; y += step) {
    for (double x = window.origin.x + inset; x < window.origin.x + window.size.width; x += step) {
      const Point point{x, y};
      if (!insideAny(point, displays)) continue;
      if (!insideAny(point, inFront)) return false;
      sampled = true;
    }
  }
  return sampled;
}

std::optional<Point> vacantSpot(Size size, const Rect& area, const std::vector<Rect>& guests) {
  if (size.width > area.size.width || size.height > area.size.height) return std::nullopt;
  std::set<double> ys{area.origin.y}, xs{area.origin.x};
  for (const Rect& guest : guests) {
    ys.insert(guest.origin.y + guest.size.height);
    xs.insert(guest.origin.x + guest.size.width);
  }
  for (double y : ys) {
    for (double x : xs) {
      const Rect candidate{{x, y}, size};
      if (!within(candidate, area)) continue;
      if (std::none_of(guests.begin(), guests.end(), [&](const Rect& guest) { return intersects(candidate, guest); }))
        return candidate.origin;
    }
  }
  return std::nullopt;
}

}  // namespace StageGeometry
