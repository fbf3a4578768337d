#include "kit/common/Process.hpp"

#include "kit/common/Files.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <thread>

namespace Process {
namespace {

bool readAll(int fd, void* buffer, size_t size) {
  auto* bytes = static_cast<char*>(buffer);
  size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd, bytes + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}


std::vector<std::string> environmentOf(const Command& command) {
  if (command.ownEnvironment) return command.environment;
  std::vector<std::string> entries = command.environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view existing(*entry);
    const auto name = existing.substr(0, existing.find('=') + 1);
    bool replaced = false;
    for (const auto& added : command.environment) replaced = replaced || added.starts_with(name);
    if (!replaced) entries.emplace_back(existing);
  }
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& words) {
  std::vector<char*> result;
  for (auto& word : words) result.push_back(word.data());
  result.push_back(nullptr);
  return result;
}

// Signals blocked or ignored here (the resident app blocks its quit signals and
// ignores SIGPIPE) must not reach the program: both survive exec.
void resetSignals() {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) sigaction(signal, &standard, nullptr);
}

void placeStream(int source, int target, int null) {
  if (source == inherit) return;
  dup2(source == devNull ? null : source, target);
}

// Runs in the child: only async-signal-safe calls from here on.
[[noreturn]] void become(const Command& command, char** argv, char** envp, int report) {
  resetSignals();
  if (command.ownProcessGroup) setpgid(0, 0);
  const int null = open("/dev/null", O_RDWR);
  placeStream(command.input, STDIN_FILENO, null);
  placeStream(command.output, STDOUT_FILENO, null);
  placeStream(command.errors, STDERR_FILENO, null);
  if (null > STDERR_FILENO) close(null);
  execvpe(command.executable.c_str(), argv, envp);
  const int error = errno;
  Files::writeAll(report, &error, sizeof error);
  _exit(127);
}

}  // namespace

Spawned start(const Command& command) {
  // Everything the child needs is prepared before fork: after it only async-signal-safe
  // calls are allowed in a threaded process.
  std::vector<std::string> argvText{command.executable};
  argvText.insert(argvText.end(), command.arguments.begin(), command.arguments.end());
  std::vector<std::string> envText = environmentOf(command);
  auto argv = pointers(argvText);
  auto envp = pointers(envText);

  // The exec errno, if any, comes through a pipe that exec closes. A detached start
  // reports the grandchild's pid through a second pipe: on one pipe the grandchild's
  // errno could arrive before its pid.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return {std::nullopt, errno};
  int pidReport[2] = {-1, -1};
  if (command.detached && pipe2(pidReport, O_CLOEXEC) != 0) {
    const int error = errno;
    close(report[0]);
    close(report[1]);
    return {std::nullopt, error};
  }
  const auto closeBoth = [](int* ends) {
    for (int i = 0; i < 2; ++i)
      if (ends[i] >= 0) close(ends[i]);
  };
  pid_t child = fork();
  if (child < 0) {
    const int error = errno;
    closeBoth(report);
    closeBoth(pidReport);
    return {std::nullopt, error};
  }
  if (child == 0) {
    close(report[0]);
    if (command.detached) {
      close(pidReport[0]);
      setsid();
      pid_t grandchild = fork();
      if (grandchild != 0) {
        Files::writeAll(pidReport[1], &grandchild, sizeof grandchild);
        _exit(0);
      }
      close(pidReport[1]);
    }
    become(command, argv.data(), envp.data(), report[1]);
  }
  close(report[1]);
  pid_t started = child;
  bool reported = true;
  if (command.detached) {
    close(pidReport[1]);
    reported = readAll(pidReport[0], &started, sizeof started) && started > 0;
    close(pidReport[0]);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  int error = 0;
  const bool execFailed = reported && readAll(report[0], &error, sizeof error);
  close(report[0]);
  if (!reported) return {std::nullopt, EAGAIN};
  if (execFailed) {
    if (!command.detached) {
      while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
    return {std::nullopt, error};
  }
  return {started, 0};
}

Spawned spawnDetached(const std::string& executable, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment) {
  return start({.executable = executable, .arguments = arguments, .environment = environment, .detached = true});
}

int exitCode(int waitStatus) {
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

std::optional<int> waitForExit(pid_t child, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) return exitCode(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

}  // namespace Process
