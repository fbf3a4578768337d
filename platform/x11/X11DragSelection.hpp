#pragma once
#include <X11/Xlib.h>
#include <sys/types.h>

#include <map>
#include <mutex>

#include "kit/platform/WindowServer.hpp"

// Who runs an XDND drag and drop: its source takes the XdndSelection selection when each
// drag begins, lets it go when the drag is cancelled and keeps it after a drop (measured
// on GTK 3 and Chromium). Each take is counted through XFixes, on a connection of its own
// opened on first use, so drags are counted from then on.
class X11DragSelection {
 public:
  X11DragSelection() = default;
  ~X11DragSelection();
  X11DragSelection(const X11DragSelection&) = delete;
  X11DragSelection& operator=(const X11DragSelection&) = delete;

  WindowServer::DragSource of(pid_t pid);

 private:
  // These expect lock_ held.
  bool open();
  void countTakes();

  std::mutex lock_;  // guards everything below
  Display* display_ = nullptr;
  Atom selection_ = None;
  int fixesEvents_ = 0;
  std::map<pid_t, uint64_t> begun_;
};
