#include "kit/setup/RunProcess.hpp"

#include "kit/common/Process.hpp"
#include "kit/common/Text.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

CommandResult runProcess(const std::string& executable, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment, double limitSeconds) {
  std::vector<std::string> entries;
  for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
  int output[2];
  if (pipe2(output, O_CLOEXEC) != 0) return {-1, std::strerror(errno)};
  auto started = Process::start({.executable = executable,
                                 .arguments = arguments,
                                 .environment = entries,
                                 .ownEnvironment = true,
                                 .output = output[1],
                                 .errors = output[1],
                                 .ownProcessGroup = true});
  close(output[1]);
  if (!started.pid) {
    close(output[0]);
    return {-1, std::strerror(started.error)};
  }
  const pid_t child = *started.pid;

  std::mutex lock;
  std::condition_variable done;
  bool finished = false;
  std::thread timer([&] {
    std::unique_lock guard(lock);
    if (!done.wait_for(guard, std::chrono::duration<double>(limitSeconds), [&] { return finished; })) {
      kill(-child, SIGKILL);
    }
  });
  std::string text;
  char area[4096];
  for (ssize_t count; (count = read(output[0], area, sizeof area)) != 0;) {
    if (count < 0) {
      if (errno == EINTR) continue;
      break;
    }
    text.append(area, static_cast<size_t>(count));
  }
  close(output[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  {
    std::lock_guard guard(lock);
    finished = true;
  }
  done.notify_all();
  timer.join();
  return {Process::exitCode(status), Text::validUTF8(text)};
}
