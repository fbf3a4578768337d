#pragma once
#include <sys/types.h>

#include <functional>
#include <optional>

#include "kit/platform/Desktop.hpp"

// Gives the user's front window back when the target app took the front, or left none.
namespace FocusGuard {

// True when the app had taken the front and the user's window was asked back. userActed is
// asked last, just before: a front the user took themselves meanwhile is theirs.
bool restore(Desktop& desktop, std::optional<WindowNumber> userWindow, std::optional<pid_t> userApp, pid_t takenBy,
             const std::function<bool()>& userActed);

}  // namespace FocusGuard
