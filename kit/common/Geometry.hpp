#pragma once

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
};
