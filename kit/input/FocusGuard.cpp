#include "kit/input/FocusGuard.hpp"

#include "kit/common/Log.hpp"
#include "kit/perception/Apps.hpp"

namespace FocusGuard {

bool restore(Desktop& desktop, std::optional<WindowNumber> userWindow, std::optional<pid_t> userApp, pid_t takenBy,
             const std::function<bool()>& userActed) {
  if (!userWindow || takenBy <= 0 || userApp == takenBy) return false;
  WindowServer& server = desktop.windowServer();
  // Taken: the app is front, or nothing is (a window manager clears the front window
  // when the app moves an agent keyboard's focus onto itself).
  const auto frontWindow = server.frontWindow();
  if (frontWindow == userWindow) return false;
  if (frontWindow && server.frontProcess() != takenBy) return false;
  // The X server reuses the numbers of closed windows: a window of the user's that closed
  // may now be one of the app's (a relaunched app's first window).
  const auto shown = Apps::window(*userWindow);
  if (!shown || !userApp || shown->pid != *userApp || userActed()) return false;
  Log::info("FocusGuard", "giving the front back to window " + std::to_string(*userWindow));
  return server.activate(*userWindow);
}

}  // namespace FocusGuard
