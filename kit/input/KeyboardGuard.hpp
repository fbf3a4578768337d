#pragma once
#include <optional>
#include <string>

#include "kit/perception/RunningApp.hpp"
#include "kit/platform/AgentInput.hpp"

// After an input call: a menu the agent's click left open in a background app holds the
// keyboard (on X11 often the user's as well), so it is closed at once and the agent told.
namespace KeyboardGuard {

// The note for the agent when a menu had to be closed, else none.
std::optional<std::string> release(const RunningApp& from, AgentInput::Agent agent);

}  // namespace KeyboardGuard
