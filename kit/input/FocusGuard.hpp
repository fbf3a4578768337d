#pragma once
#include <sys/types.h>

#include <optional>

#include "kit/platform/Desktop.hpp"

// Gives the user's front window back when the target app took the front, or left none.
namespace FocusGuard {

// True when the app had taken the front and the user's window was asked back.
bool restore(Desktop& desktop, std::optional<WindowNumber> userWindow, std::optional<pid_t> userApp, pid_t takenBy);

}  // namespace FocusGuard
