#pragma once
#include <sys/types.h>

#include <cstdint>

#include "kit/platform/AgentInput.hpp"
#include "kit/platform/WindowInfo.hpp"

// A drag-and-drop session of the system, which follows the real mouse: an app running
// one shows its drag image as a window of the drag layer. Where the desktop also tells
// when an app begins one (X11: it takes the drag selection), that counts too, so a drag
// without an image is caught as well.
namespace SystemDrag {

inline constexpr const char* cancelledMessage =
    "This drag started a system drag and drop (dragging files, tabs, text or web page draggables), which follows "
    "the real mouse and cannot run in the background, so it was cancelled before it could drop anything. The app "
    "may treat the cancel as a drop outside its window (VS Code opens a dragged tab in a new window); check with "
    "list_apps and get_app_state. Use a keyboard or menu alternative (cut and paste, Move to, reorder commands) "
    "instead.";

bool showsDragImage(pid_t pid);

// One app watched from before the agent's press.
class Watch {
 public:
  explicit Watch(pid_t pid);
  // Its drag image shows, or it began a drag and drop since the watch began and still holds its data.
  bool isRunning() const;

 private:
  pid_t pid_;
  uint64_t begunBefore_;
};

// Escape in the app on the agent's keyboard until the drag has ended, at most three attempts.
void cancel(AgentInput::Agent agent, const WindowInfo& window, const Watch& watch);

}  // namespace SystemDrag
