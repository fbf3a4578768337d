#include "kit/input/SharedKeyWindow.hpp"

SharedKeyWindow& SharedKeyWindow::shared() {
  static SharedKeyWindow instance;
  return instance;
}

void SharedKeyWindow::release(pid_t) {}
