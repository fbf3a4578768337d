#pragma once
#include <optional>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowInfo.hpp"

// Where windows stand: whether the user's windows hide one entirely, and where on the
// invisible display one fits beside the others.
namespace StageGeometry {

// The window is covered when every point of a grid over it (8 points apart, from 4
// inside its top-left corner) that lies on a display is inside a covering window.
// `inFront` are the windows in front of it that may cover it.
bool isCovered(const Rect& window, const std::vector<Rect>& inFront, const std::vector<Rect>& displays);

// The first top-left corner, by rows then columns along the guests' edges, at which a
// window of this size lies inside the area and overlaps no guest; none when none does.
std::optional<Point> vacantSpot(Size size, const Rect& area, const std::vector<Rect>& guests);

}  // namespace StageGeometry
