#include "platform/x11/X11EventThread.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

bool X11EventThread::start(Display* display, std::function<void(XEvent&)> handle, std::function<int()> idle) {
  if (thread_.joinable() || pipe(stopPipe_) != 0) return false;
  display_ = display;
  handle_ = std::move(handle);
  idle_ = std::move(idle);
  thread_ = std::thread([this] { run(); });
  return true;
}

void X11EventThread::stop() {
  if (thread_.joinable()) {
    (void)!write(stopPipe_[1], "x", 1);
    thread_.join();
  }
  for (int& fd : stopPipe_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

void X11EventThread::run() {
  pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
  while (true) {
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      handle_(event);
    }
    const int wait = idle_ ? idle_() : -1;
    if (wait == 0) continue;
    if (poll(fds, 2, wait) < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    if (fds[0].revents & (POLLERR | POLLHUP)) return;
  }
}
