#pragma once
#include <optional>
#include <string>

#include "kit/perception/RunningApp.hpp"

// Gives the user's keyboard focus back when the target app took it. Today no input
// is posted, so nothing takes the keyboard and release always returns none.
namespace KeyboardGuard {

// A note for the agent when something had to be given back, else none.
std::optional<std::string> release(const RunningApp& from);

}  // namespace KeyboardGuard
