#pragma once
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// Starting programs: the one place this system forks and execs.
namespace Process {

// Descriptor values of a Command's standard streams besides open descriptors.
inline constexpr int devNull = -1;
inline constexpr int inherit = -2;

struct Command {
  std::string executable{};  // looked up on PATH when the name has no slash
  std::vector<std::string> arguments{};
  // "NAME=value" entries, added to this process's environment (replacing entries of the
  // same name), or the whole environment with `ownEnvironment`.
  std::vector<std::string> environment{};
  bool ownEnvironment = false;
  int input = devNull;
  int output = devNull;
  int errors = devNull;
  // A process group of its own, so that signalling the group ends what it started too.
  bool ownProcessGroup = false;
  // A session of its own, adopted by init: it outlives the caller and never becomes its zombie.
  bool detached = false;
};

// What came of starting a program: its process id, or the errno of the failure.
struct Spawned {
  std::optional<pid_t> pid;
  int error = 0;
};

// Starts the program with a clean signal mask and default signal dispositions, and
// reports once exec has happened (or failed).
Spawned start(const Command& command);

// Starts the program detached with its standard streams on /dev/null.
Spawned spawnDetached(const std::string& executable, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment = {});

// The exit status of a finished child (or 128 + the signal that ended it).
int exitCode(int waitStatus);

// Reaps the child once it has ended: its exit code, or none while it still runs after the timeout.
std::optional<int> waitForExit(pid_t child, std::chrono::milliseconds timeout);

}  // namespace Process
