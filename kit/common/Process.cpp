#include "kit/common/Process.hpp"

#include <fcntl.h>
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

namespace Process {

bool spawnDetached(const std::string& executable, const std::vector<std::string>& arguments) {
  // Everything the children need is prepared before fork: after it only
  // async-signal-safe calls are allowed in a threaded process.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(executable.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    setsid();
    if (fork() != 0) _exit(0);  // the grandchild is adopted by init
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      if (null > STDERR_FILENO) close(null);
    }
    execv(executable.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return true;
}

}  // namespace Process
