#pragma once
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// One agent's gesture in an app finishes before another agent's input to that app
// begins: an in-process lock per app and a lock file per app for other processes of
// the same user. Waits are bounded; a lock that stays taken fails with a ToolError.
namespace InputLocks {

inline constexpr double patience = 60;  // seconds

void withLock(pid_t pid, const std::function<void()>& body);
// Several apps (a drag between two): locks are taken in ascending pid order.
void withLocks(std::vector<pid_t> pids, const std::function<void()>& body);
// The lock file of an app.
std::string lockFilePath(pid_t pid);

}  // namespace InputLocks
