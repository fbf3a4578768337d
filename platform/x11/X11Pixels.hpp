#pragma once
#include <X11/Xlib.h>

#include <optional>

#include "kit/common/Geometry.hpp"
#include "kit/platform/Image.hpp"

// Pixels as X hands them over, as RGB images.
namespace X11Pixels {

Image toRGB(XImage* source);
// The area of the screen as the user sees it now, read from the root window on a
// connection of its own: what lies on top there, overlays included. For checking by eye.
std::optional<Image> onScreen(Rect area);

}  // namespace X11Pixels
