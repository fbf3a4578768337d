#pragma once
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

// A resident app already serving agents, found through the socket it listens on.
namespace RunningCopy {

// The process serving the socket when it runs the executable at `path` (links resolved,
// also after that file was replaced) and is not this process.
std::optional<pid_t> servingFrom(const std::string& path, const std::string& socket);

// Asks it to quit and checks every 100 ms, at most 150 times; false when it still runs.
bool quit(pid_t process, std::chrono::milliseconds interval = std::chrono::milliseconds(100), int checks = 150);

}  // namespace RunningCopy
