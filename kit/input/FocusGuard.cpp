#include "kit/input/FocusGuard.hpp"

namespace FocusGuard {

bool restore(Desktop& desktop, std::optional<WindowNumber> userWindow, std::optional<pid_t> userApp, pid_t takenBy) {
  if (!userWindow || takenBy <= 0 || userApp == takenBy) return false;
  WindowServer& server = desktop.windowServer();
  if (server.frontProcess() != takenBy) return false;
  return server.activate(*userWindow);
}

}  // namespace FocusGuard
