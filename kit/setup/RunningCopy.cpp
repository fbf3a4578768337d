#include "kit/setup/RunningCopy.hpp"

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "kit/common/Files.hpp"
#include "kit/common/Paths.hpp"
#include "kit/protocol/AgentSocket.hpp"

namespace fs = std::filesystem;

namespace RunningCopy {
namespace {

// The kernel keeps the path a process was started from, marked once the file is replaced.
std::string executableOf(pid_t process) {
  std::error_code error;
  std::string path = fs::read_symlink("/proc/" + std::to_string(process) + "/exe", error).string();
  constexpr std::string_view replaced = " (deleted)";
  if (path.ends_with(replaced)) path.erase(path.size() - replaced.size());
  return error ? "" : path;
}

// A process that has exited but is not yet reaped by its parent has quit all the same.
bool isRunning(pid_t process) {
  auto status = Files::read("/proc/" + std::to_string(process) + "/stat");
  if (!status) return false;
  const size_t name = status->rfind(')');
  if (name == std::string::npos || name + 2 >= status->size()) return false;
  const char state = (*status)[name + 2];
  return state != 'Z' && state != 'X';
}

}  // namespace

std::optional<pid_t> servingFrom(const std::string& path, const std::string& socket) {
  const auto owner = AgentSocket::owner(socket);
  if (!owner || *owner == getpid()) return std::nullopt;
  if (executableOf(*owner) != Paths::resolved(path)) return std::nullopt;
  return owner;
}

bool quit(pid_t process, std::chrono::milliseconds interval, int checks) {
  if (kill(process, SIGTERM) != 0) return !isRunning(process);
  for (int check = 0; check < checks; ++check) {
    if (!isRunning(process)) return true;
    std::this_thread::sleep_for(interval);
  }
  return !isRunning(process);
}

}  // namespace RunningCopy
