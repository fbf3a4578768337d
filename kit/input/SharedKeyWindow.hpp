#pragma once
#include <sys/types.h>

// The key window an agent borrows inside its app. Today no agent posts events or
// borrows a key window, so release has nothing to give back and does nothing.
class SharedKeyWindow {
 public:
  static SharedKeyWindow& shared();
  void release(pid_t pid);

 private:
  SharedKeyWindow() = default;
};
