#pragma once
#include <algorithm>
#include <optional>

// Global screen points, origin at the top left of the main display.
struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  Point origin;
  Size size;
  bool operator==(const Rect&) const = default;
  Point center() const { return {origin.x + size.width / 2, origin.y + size.height / 2}; }
  bool contains(Point point) const {
    return point.x >= origin.x && point.x < origin.x + size.width && point.y >= origin.y &&
           point.y < origin.y + size.height;
  }
};

// The smallest rectangle around both.
inline Rect unite(const Rect& a, const Rect& b) {
  double left = std::min(a.origin.x, b.origin.x), top = std::min(a.origin.y, b.origin.y);
  double right = std::max(a.origin.x + a.size.width, b.origin.x + b.size.width);
  double bottom = std::max(a.origin.y + a.size.height, b.origin.y + b.size.height);
  return {{left, top}, {right - left, bottom - top}};
}

// The part both cover, or none.
inline std::optional<Rect> intersect(const Rect& a, const Rect& b) {
  double left = std::max(a.origin.x, b.origin.x), top = std::max(a.origin.y, b.origin.y);
  double right = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
  double bottom = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
  if (right <= left || bottom <= top) return std::nullopt;
  return Rect{{left, top}, {right - left, bottom - top}};
}

inline bool intersects(const Rect& a, const Rect& b) { return intersect(a, b).has_value(); }
