#include "kit/input/InputLocks.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "kit/common/ToolError.hpp"

namespace InputLocks {
namespace {

std::mutex guardLock;                                   // guards locks only, never held while waiting
std::map<pid_t, std::unique_ptr<std::timed_mutex>> locks;  // kept for the life of the process

std::timed_mutex& lockOf(pid_t pid) {
  std::lock_guard guard(guardLock);
  auto& slot = locks[pid];
  if (!slot) slot = std::make_unique<std::timed_mutex>();
  return *slot;
}

[[noreturn]] void busy() {
  throw ToolError("Another agent has been operating this app for a minute and still is; try again later.");
}

// The file lock, or -1 when the file cannot be opened (input then stays serialised in
// this process only).
int lockFile(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  int fd = open(lockFilePath(pid).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return fd;  // not lockable here: go on unlocked
    if (std::chrono::steady_clock::now() > deadline) {
      close(fd);
      busy();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return fd;
}

}  // namespace

std::string lockFilePath(pid_t pid) {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  return folder + "/tarnwick-input-" + std::to_string(pid) + ".lock";
}

void withLock(pid_t pid, const std::function<void()>& body) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(patience);
  std::unique_lock app(lockOf(pid), std::defer_lock);
  // The system clock's timed lock is pthread_mutex_timedlock, which every sanitizer knows;
  // the steady clock's is not intercepted by the thread sanitizer.
  auto wallDeadline = std::chrono::system_clock::now() + std::chrono::seconds(static_cast<int>(patience));
  if (!app.try_lock_until(wallDeadline)) busy();
  int fd = lockFile(pid, std::chrono::time_point_cast<std::chrono::steady_clock::duration>(deadline));
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0) close(fd);  // closing releases the file lock
    }
  } closer{fd};
  body();
}

void withLocks(std::vector<pid_t> pids, const std::function<void()>& body) {
  std::sort(pids.begin(), pids.end());
  pids.erase(std::unique(pids.begin(), pids.end()), pids.end());
  std::function<void(size_t)> nest = [&](size_t i) {
    if (i == pids.size()) return body();
    withLock(pids[i], [&] { nest(i + 1); });
  };
  nest(0);
}

}  // namespace InputLocks
