#pragma once
#include <array>
#include <chrono>
#include <map>
#include <memory>

#include "kit/platform/WindowServer.hpp"
#include "platform/x11/X11ActiveWatch.hpp"
#include "platform/x11/X11Display.hpp"
#include "platform/x11/X11DragSelection.hpp"
#include "platform/x11/X11StackEvents.hpp"
#include "platform/x11/X11Windows.hpp"

// The window server of an X session under an EWMH window manager.
class X11WindowServer : public WindowServer {
 public:
  explicit X11WindowServer(std::shared_ptr<X11Display> display);
  // From now on the window manager is told where the user's keyboard is whenever it names
  // another window active: for processes whose agents act, not helpers that only look.
  void keepUsersWindowActive();

  Json windowList(uint32_t options, WindowNumber relativeTo) override;
  std::optional<pid_t> frontProcess() override;
  std::optional<pid_t> keyFocusProcess() override;
  std::vector<SpaceID> spaces(WindowNumber window) override;
  std::set<SpaceID> visibleSpaces() override;
  std::vector<DisplayInfo> displays() override;
  std::optional<WindowInfo> windowAt(Point point) override;
  std::optional<WindowNumber> frontWindow() override;
  bool activate(WindowNumber window) override;
  std::optional<DisplayInfo> createInvisibleDisplay(Size size) override;
  void removeInvisibleDisplay(uint32_t id) override;
  std::vector<WindowNumber> drawingOrder() override;
  void waitForStackChange(std::chrono::milliseconds timeout) override;
  DragSource dragSource(pid_t pid) override { return dragSelection_.of(pid); }
  // Moves the window's frame to the point as a pager would; false when it cannot be asked.
  bool move(WindowNumber window, Point to);
  // Raises the window to the top of its layer as a pager would, without activating it.
  bool raise(WindowNumber window);

  // The stack, front to back, read under the display's lock.
  std::vector<X11Window> stack();

 private:
  std::optional<pid_t> pidOf(::Window window);
  // The client window that holds the keyboard focus, and the one in front, as the user
  // types; both expect the display locked.
  std::optional<::Window> focusedClient();
  std::optional<::Window> frontClient();
  // These expect the display's lock held.
  bool hasWindowManager();
  // A client message to the window manager about the window, as EWMH pagers send them.
  bool askWindowManager(WindowNumber window, const char* message, std::array<long, 3> data);
  std::shared_ptr<X11Display> display_;
  // Top-level frames and the windows in them, for windowAt; guarded by the display's lock.
  std::map<::Window, WindowInfo> frames_;
  std::chrono::steady_clock::time_point framesRead_;
  // Where pointers can go: the areas the CRTCs drive; guarded by the display's lock.
  std::vector<Rect> reachable_;
  std::chrono::steady_clock::time_point reachableRead_;
  // The window each managed frame holds, for drawingOrder; guarded by the display's lock.
  std::map<::Window, ::Window> clientOfFrame_;
  std::chrono::steady_clock::time_point clientsRead_;
  X11StackEvents stackEvents_;
  X11DragSelection dragSelection_;
  X11ActiveWatch activeWatch_;  // last: its thread uses the display
};
