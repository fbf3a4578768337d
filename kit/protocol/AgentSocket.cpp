#include "kit/protocol/AgentSocket.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "kit/common/Paths.hpp"

namespace AgentSocket {

std::string path() {
  if (const char* configured = std::getenv("TARNWICK_SOCKET"); configured != nullptr && *configured != '\0') {
    return std::string(configured).substr(0, maxPathBytes);
  }
  std::string directory = Paths::stateDirectory();
  Paths::makePrivateDirectory(directory);
  return (directory + "/tarnwick.sock").substr(0, maxPathBytes);
}

bool isInStateDirectory(const std::string& path) {
  return path == (Paths::stateDirectory() + "/tarnwick.sock").substr(0, maxPathBytes);
}

sockaddr_un address(const std::string& path) {
  sockaddr_un result;
  std::memset(&result, 0, sizeof result);
  result.sun_family = AF_UNIX;
  std::memcpy(result.sun_path, path.data(), std::min(path.size(), maxPathBytes));
  return result;
}

std::optional<int> connect(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  sockaddr_un target = address(path);
  int result;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    close(fd);
    return std::nullopt;
  }
  return fd;
}

std::optional<pid_t> owner(const std::string& path) {
  auto fd = connect(path);
  if (!fd) return std::nullopt;
  ucred credentials{};
  socklen_t length = sizeof credentials;
  int result = getsockopt(*fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length);
  close(*fd);
  if (result != 0) return std::nullopt;
  return credentials.pid;
}

}  // namespace AgentSocket
