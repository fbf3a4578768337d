#include "kit/setup/RunProcess.hpp"

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
  std::vector<std::string> argvText{executable};
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : argvText) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> envText;
  for (const auto& [name, value] : environment) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& entry : envText) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int output[2], startError[2];
  if (pipe2(output, O_CLOEXEC) != 0) return {-1, std::strerror(errno)};
  if (pipe2(startError, O_CLOEXEC) != 0) {
    close(output[0]);
    close(output[1]);
    return {-1, std::strerror(errno)};
  }
  pid_t child = fork();
  if (child == 0) {
    setpgid(0, 0);  // its own group, so that the limit ends what it started too
    int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    dup2(output[1], STDOUT_FILENO);
    dup2(output[1], STDERR_FILENO);
    execve(executable.c_str(), argv.data(), envp.data());
    int error = errno;
    [[maybe_unused]] auto written = write(startError[1], &error, sizeof error);
    _exit(127);
  }
  close(output[1]);
  close(startError[1]);
  if (child < 0) {
    close(output[0]);
    close(startError[0]);
    return {-1, std::strerror(errno)};
  }
  int error = 0;
  bool failedToStart = read(startError[0], &error, sizeof error) == sizeof error;
  close(startError[0]);

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
  if (failedToStart) return {-1, std::strerror(error)};
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return {code, Text::validUTF8(text)};
}
