#pragma once
#include <optional>
#include <string>

// Reaching the resident app from another process.
namespace ResidentApp {

// A connection to the agent socket. When nobody listens and a launcher is given, that
// executable is started with "serve", detached, and the socket is awaited for about 10 s.
std::optional<int> connectOrLaunch(const std::optional<std::string>& launcher);

}  // namespace ResidentApp
