#include "kit/common/Process.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

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

void writeAll(int fd, const void* buffer, size_t size) {
  const auto* bytes = static_cast<const char*>(buffer);
  while (size > 0) {
    ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

Spawned spawnDetached(const std::string& executable, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment) {
  // Everything the children need is prepared before fork: after it only
  // async-signal-safe calls are allowed in a threaded process.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(executable.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view existing(*entry);
    const auto name = existing.substr(0, existing.find('=') + 1);
    bool replaced = false;
    for (const auto& added : environment) replaced = replaced || added.starts_with(name);
    if (!replaced) envp.push_back(*entry);
  }
  envp.push_back(nullptr);

  // The grandchild's pid, then its exec errno, come back through a pipe that exec closes.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return {std::nullopt, errno};
  pid_t child = fork();
  if (child < 0) {
    int error = errno;
    close(report[0]);
    close(report[1]);
    return {std::nullopt, error};
  }
  if (child == 0) {
    close(report[0]);
    setsid();
    pid_t grandchild = fork();
    if (grandchild != 0) {
      writeAll(report[1], &grandchild, sizeof grandchild);
      _exit(0);  // the grandchild is adopted by init
    }
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      if (null > STDERR_FILENO) close(null);
    }
    execvpe(executable.c_str(), argv.data(), envp.data());
    int error = errno;
    writeAll(report[1], &error, sizeof error);
    _exit(127);
  }
  close(report[1]);
  pid_t grandchild = -1;
  int error = 0;
  const bool forked = readAll(report[0], &grandchild, sizeof grandchild) && grandchild > 0;
  const bool execFailed = forked && readAll(report[0], &error, sizeof error);
  close(report[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!forked) return {std::nullopt, EAGAIN};
  if (execFailed) return {std::nullopt, error};
  return {grandchild, 0};
}

}  // namespace Process
