#pragma once
#include <optional>
#include <string>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowInfo.hpp"

// Moving or copying selected text from one accessible editor to a point of another (or
// the same) through accessibility, verified at every step, never through the system
// clipboard or a drag and drop. Failures are ToolErrors.
namespace TextDrag {

// None when `from` is not on the selected text of an editor in `window`; otherwise what
// was done. Points are global screen points.
std::optional<std::string> transfer(Point from, Point to, const WindowInfo& window, bool copy,
                                    const WindowInfo& destinationWindow);

}  // namespace TextDrag
