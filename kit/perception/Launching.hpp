#pragma once
#include <sys/types.h>

#include <optional>
#include <string>

// Starting apps for launch_app; the caller guards the user's front app around it.
namespace Launching {

// What to start for the agent's words; fails with a ToolError when nothing matches.
std::string location(const std::string& query);

// The URL or absolute path to open; fails with a ToolError for a relative path.
std::optional<std::string> openTarget(const std::optional<std::string>& open);

// Starts the app without activating it; fails with a ToolError that says why not.
pid_t start(const std::string& location, const std::optional<std::string>& open);

// Waits until the app's windows have settled: 2.5 s after their last change, 15 s at most.
void waitForWindows(pid_t pid);

// The launch_app result for the started app; fails when it quit right away.
std::string report(pid_t pid, const std::string& location);

}  // namespace Launching
