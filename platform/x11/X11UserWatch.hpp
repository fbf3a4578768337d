#pragma once
#include <X11/Xlib.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <set>

#include "kit/platform/AgentInput.hpp"
#include "platform/x11/X11EventThread.hpp"

// The user's own key and button presses, from XInput2 raw events on the root window of
// a connection of its own. Events whose source is an agent's device are not the user's.
class X11UserWatch {
 public:
  X11UserWatch();
  ~X11UserWatch();
  X11UserWatch(const X11UserWatch&) = delete;
  X11UserWatch& operator=(const X11UserWatch&) = delete;

  void setCallback(std::function<void(UserInputKind)> callback);
  void setAgentSources(std::set<int> devices);
  // Seconds since the user's last press (or since the watch began).
  double idleSeconds() const;
  // Seconds since the user's last button or modifier press; a large value before the first.
  double idleSinceClick() const;
  // Where the user's pointer was at their last button press, and how long ago.
  std::optional<UserPress> lastPress() const;

 private:
  void handle(XEvent& event);
  void notePressPoint();

  Display* display_ = nullptr;
  int opcode_ = 0;
  mutable std::mutex lock_;  // guards the members below
  std::function<void(UserInputKind)> callback_;
  std::set<int> agentSources_;
  std::set<int> modifierKeys_;
  std::optional<Point> pressPoint_;
  double pressTime_ = 0;
  std::atomic<double> lastClick_{-1};
  std::atomic<double> lastPress_{-1};  // the watch's start at first: earlier input is unknown
  X11EventThread events_;
};
