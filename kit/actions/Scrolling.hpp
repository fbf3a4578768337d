#pragma once
#include <sys/types.h>

#include <optional>
#include <string>

#include "kit/common/Geometry.hpp"
#include "kit/platform/AXTypes.hpp"

// Scroll areas as accessibility shows them: where they are scrolled to, and how to move
// them without the wheel when a view ignores wheel events in the background.
namespace Scrolling {

// The scroll area at the point: the element there or its nearest ancestor that is one;
// none when a web area comes first (pages report no scroll position).
std::optional<AXElement> scrollArea(Point point, pid_t pid);
// 0 at the top (left) to 1 at the bottom (right), from the area's scroll bar.
std::optional<double> position(const AXElement& area, bool horizontal);
// Moves the scroll bar by `viewport` points forward or back; the new position when it moved.
std::optional<double> scrollByBar(const AXElement& area, bool horizontal, bool forward, double viewport);
// Performs the area's page action `pages` times; the new position when it moved.
std::optional<double> scrollByPage(const AXElement& area, const std::string& direction, double pages);

}  // namespace Scrolling
