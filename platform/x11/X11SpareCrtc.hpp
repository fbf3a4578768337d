#pragma once
#include <X11/extensions/Xrandr.h>

#include <optional>

#include "kit/common/Geometry.hpp"
#include "platform/x11/X11Display.hpp"

// A real server keeps every pointer on the areas its CRTCs show, so room beside the
// monitors is reachable only once a CRTC drives it. A spare one is set to show the room
// on an output nothing is plugged into: no screen lights up, yet pointers go there.
// Every call expects the display's lock to be held.
namespace X11SpareCrtc {

inline constexpr const char* modeName = "TARNWICK";

// Drives the area, which must lie within the screen; the output it drives, or none when
// no CRTC is spare or the server refuses.
std::optional<RROutput> drive(X11Display& display, const Rect& area);
// Turns off every CRTC showing the mode and forgets the mode, also one a killed run left.
void release(X11Display& display);

}  // namespace X11SpareCrtc
