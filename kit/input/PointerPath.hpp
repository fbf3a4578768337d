#pragma once
#include <functional>
#include <vector>

#include "kit/common/Geometry.hpp"

// Where a pointer is during one motion; the agent's cursor is drawn from it.
struct PointerPath {
  double duration = 0;
  Point end;
  std::function<Point(double)> position;

  Point point(double t) const { return t >= duration || !position ? end : position(t > 0 ? t : 0); }
  static PointerPath resting(Point at) {
    return {0, at, [at](double) { return at; }};
  }
};

// One pointer event of a motion: where and when, in seconds from its start.
struct MotionSample {
  Point point;
  double time = 0;
  bool operator==(const MotionSample&) const = default;
};

// A planned motion: the path and the events that realise it, the last at its end.
struct Movement {
  PointerPath path;
  std::vector<MotionSample> samples;
};
