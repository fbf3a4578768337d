#include "kit/input/SharedKeyWindow.hpp"

SharedKeyWindow& SharedKeyWindow::shared() {
  static SharedKeyWindow instance;
  return instance;
}

// No key window is ever taken yet, so there is nothing to give back.
void SharedKeyWindow::release(pid_t) {}
