#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace Process {

// What came of starting a program: its process id, or the errno of the failure.
struct Spawned {
  std::optional<pid_t> pid;
  int error = 0;
};

// Starts the program (looked up on PATH when the name has no slash) in a session of
// its own with its standard streams on /dev/null, and does not wait for it: it
// outlives the caller and never becomes its zombie. Reports once exec has happened.
// `environment` entries ("NAME=value") are added to this process's environment.
Spawned spawnDetached(const std::string& executable, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment = {});

}  // namespace Process
