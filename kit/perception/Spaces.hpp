#pragma once
#include <set>
#include <vector>

#include "kit/platform/WindowServer.hpp"

// Spaces (virtual desktops), asked of the window server on the main thread.
namespace Spaces {

// The Spaces a window is on; empty when unknown.
std::vector<SpaceID> of(WindowNumber window);
// The Spaces shown on any display now.
std::set<SpaceID> visible();
// Whether the window is only on Spaces that no display shows now; false when unknown.
bool isOnHiddenSpace(WindowNumber window, const std::set<SpaceID>& visible);

}  // namespace Spaces
