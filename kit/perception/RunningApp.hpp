#pragma once
#include <sys/types.h>

#include <string>

// One running application as the workspace reports it.
struct RunningApp {
  pid_t pid = 0;
  std::string name;      // localized name; empty when it has none
  std::string bundleID;  // bundle identifier, or the app id on Linux
  std::string executable;
  bool operator==(const RunningApp& other) const { return pid == other.pid; }
};
