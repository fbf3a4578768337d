#pragma once
#include <optional>
#include <vector>

#include "kit/platform/WindowServer.hpp"

// The invisible display the backstage parks windows on: sized after the user's largest
// display, created at most three times in half an hour.
namespace InvisibleDisplay {

// Three times the width of the largest real display (by area), and its height.
Size sizeFor(const std::vector<DisplayInfo>& displays);
// Creates it (counted in the settings under "BackstageCreations") and waits up to 2 s
// for it to be listed; none when refused, failed or not listed in time.
std::optional<DisplayInfo> create();
// The display as listed now, or none when it was lost.
std::optional<DisplayInfo> listed(uint32_t id);

}  // namespace InvisibleDisplay
