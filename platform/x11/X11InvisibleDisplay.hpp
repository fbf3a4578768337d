#pragma once
#include <optional>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "platform/x11/X11Display.hpp"

// The invisible display on X: a RandR monitor that shows on no screen, right of every real
// monitor. Window managers keep windows on monitors, so one parked there stays where it
// is put, mapped and drawn; no output shows it. The screen grows to hold it and shrinks
// back when it goes. Every call expects the display's lock to be held.
namespace X11InvisibleDisplay {

inline constexpr uint32_t id = 0xAC01;
inline constexpr const char* monitorName = "TARNWICK";

// Its frame; an existing one (left by a run that was killed) is used as it is. The
// server keeps every pointer on its CRTCs, so where none drives the room beside the real
// monitors a spare one is set to; none when there is no spare one.
std::optional<Rect> create(X11Display& display, Size size);
// The areas the CRTCs drive: where pointers can go.
std::vector<Rect> pointerAreas(X11Display& display);
bool reachable(X11Display& display, const Rect& area);
void remove(X11Display& display);

}  // namespace X11InvisibleDisplay
