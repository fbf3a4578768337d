#include "platform/x11/X11DragSelection.hpp"

#include <X11/extensions/XRes.h>
#include <X11/extensions/Xfixes.h>

#include "platform/x11/X11ClientPid.hpp"

X11DragSelection::~X11DragSelection() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

WindowServer::DragSource X11DragSelection::of(pid_t pid) {
  std::lock_guard guard(lock_);
  if (!open()) return {};
  countTakes();
  const ::Window owner = XGetSelectionOwner(display_, selection_);
  return {begun_[pid], owner != None && clientPidOf(display_, owner) == pid};
}

bool X11DragSelection::open() {
  if (display_ != nullptr) return true;
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) return false;
  int errors = 0, major = 0, minor = 0;
  if (!XFixesQueryExtension(display_, &fixesEvents_, &errors) || !XResQueryVersion(display_, &major, &minor)) {
    XCloseDisplay(display_);
    display_ = nullptr;
    return false;
  }
  XFixesQueryVersion(display_, &major, &minor);
  selection_ = XInternAtom(display_, "XdndSelection", False);
  XFixesSelectSelectionInput(display_, DefaultRootWindow(display_), selection_, XFixesSetSelectionOwnerNotifyMask);
  XSync(display_, False);
  return true;
}

void X11DragSelection::countTakes() {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type != fixesEvents_ + XFixesSelectionNotify) continue;
    const auto& notice = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
    if (notice.owner == None) continue;
    if (pid_t pid = clientPidOf(display_, notice.owner)) ++begun_[pid];
  }
}
