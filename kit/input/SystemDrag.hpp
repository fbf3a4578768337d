#pragma once
#include <sys/types.h>

#include "kit/platform/AgentInput.hpp"
#include "kit/platform/WindowInfo.hpp"

// A drag-and-drop session of the system, which follows the real mouse: an app running
// one shows its drag image as a window of the drag layer.
namespace SystemDrag {

inline constexpr const char* cancelledMessage =
    "This drag started a system drag and drop (dragging files, tabs, text or web page draggables), which follows "
    "the real mouse and cannot run in the background, so it was cancelled before it could drop anything. The app "
    "may treat the cancel as a drop outside its window (VS Code opens a dragged tab in a new window); check with "
    "list_apps and get_app_state. Use a keyboard or menu alternative (cut and paste, Move to, reorder commands) "
    "instead.";

bool isRunning(pid_t pid);
// Escape in the app on the agent's keyboard until the drag image is gone, at most three attempts.
void cancel(AgentInput::Agent agent, const WindowInfo& window);

}  // namespace SystemDrag
