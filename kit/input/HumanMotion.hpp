#pragma once
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/input/PointerPath.hpp"

// How a hand moves a mouse: a bowed main stroke timed by Fitts' law, a small miss and an
// overlapping correction, a faint tremor, and events about 125 times a second.
namespace HumanMotion {

struct Tremor {
  double amplitude = 0;
  std::array<double, 4> frequencies{};  // hertz
  std::array<double, 4> phases{};       // radians
  explicit Tremor(double amplitude);
};

double fittsDuration(double distance, double targetSize);
Point aimPoint(Point from, Point to, double distance);
std::function<Point(double)> stroke(Point from, Point to, double duration);
// The two-stroke plan of a travel to a target of the given size; the main stroke lasts
// `primaryDuration` when given, else as long as Fitts' law says.
PointerPath path(Point from, Point to, double targetSize, std::optional<double> primaryDuration = std::nullopt);
std::vector<MotionSample> events(const PointerPath& along, const Tremor& tremor);
// A motion to the point as a travel plays it: resting when already there.
Movement travel(Point from, Point to, double targetSize, std::optional<double> primaryDuration = std::nullopt);

// A drag's stroke between two points: `duration` seconds for the main stroke (at least
// 0.15), else a hand's natural speed; a single sample when the points coincide.
Movement drag(Point from, Point to, std::optional<double> duration);

// A motion through several points at a speed the curvature allows (drags).
Movement trace(const std::vector<Point>& through);
std::vector<Point> catmullRom(const std::vector<Point>& points);
double curvatureRadius(const std::vector<Point>& points, size_t index);

// Where a cursor that has never moved starts: 120 to 320 points from the target, inside the rectangle.
Point entryPoint(Point toward, const Rect& in);

double distance(Point a, Point b);

}  // namespace HumanMotion
