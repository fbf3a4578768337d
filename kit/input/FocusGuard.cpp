#include "kit/input/FocusGuard.hpp"

#include "kit/common/Log.hpp"

namespace FocusGuard {

bool restore(Desktop& desktop, std::optional<WindowNumber> userWindow, std::optional<pid_t> userApp, pid_t takenBy) {
  if (!userWindow || takenBy <= 0 || userApp == takenBy) return false;
  WindowServer& server = desktop.windowServer();
  // Taken: the app is front, or nothing is (a window manager clears the front window
  // when the app moves an agent keyboard's focus onto itself).
  const auto frontWindow = server.frontWindow();
  if (frontWindow == userWindow) return false;
  if (frontWindow && server.frontProcess() != takenBy) return false;
  Log::info("FocusGuard", "giving the front back to window " + std::to_string(*userWindow));
  return server.activate(*userWindow);
}

}  // namespace FocusGuard
