#pragma once
#include <sys/types.h>

// The single path of every synthetic event, and the key window an agent borrows inside its app.
class SharedKeyWindow {
 public:
  static SharedKeyWindow& shared();
  // Gives the app's key window back to the user's side, if an agent holds it.
  void release(pid_t pid);

 private:
  SharedKeyWindow() = default;
};
