#include "kit/protocol/SocketServer.hpp"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

#include "kit/common/Paths.hpp"
#include "kit/protocol/AgentSocket.hpp"
#include "kit/protocol/MCPConnection.hpp"
#include "kit/common/ToolError.hpp"

namespace {

// What lies at the path must be an old socket (or a link to nothing); anything else is
// the user's and stays.
void removeStaleSocket(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return;
  struct stat target {};
  const bool dangling = S_ISLNK(info.st_mode) && stat(path.c_str(), &target) != 0;
  if (!S_ISSOCK(info.st_mode) && !dangling) {
    throw ToolError(path + " is in the way of the agent socket and is not a socket; move it away, or set "
                           "TARNWICK_SOCKET to another path.");
  }
  unlink(path.c_str());
}

}  // namespace

void SocketServer::start() {
  if (auto live = AgentSocket::connect(path_)) {
    close(*live);
    throw AlreadyRunning();
  }
  const std::string directory = std::filesystem::path(path_).parent_path().string();
  if (AgentSocket::isInStateDirectory(path_) && !Paths::makePrivateDirectory(directory)) {
    throw ToolError("The folder " + directory +
                    " belongs to another user or cannot be made private, so the agent socket is not put there.");
  }
  removeStaleSocket(path_);

  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) throw ToolError("Could not create the socket.");
  sockaddr_un address = AgentSocket::address(path_);
  // Private from its creation: bind makes the file with the umask's permissions.
  const mode_t previousMask = umask(0177);
  const bool bound = bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  const int bindError = errno;
  umask(previousMask);
  errno = bindError;
  if (!bound || chmod(path_.c_str(), 0600) != 0 || listen(listener, 16) != 0) {
    std::string reason = std::strerror(errno);
    close(listener);
    throw ToolError("Could not listen on " + path_ + ": " + reason + ".");
  }
  std::thread(acceptLoop, listener, connections_).detach();
}

int64_t SocketServer::Connections::takeID() {
  std::lock_guard guard(idLock);
  return nextID++;
}

void SocketServer::acceptLoop(int listener, std::shared_ptr<Connections> connections) {
  for (;;) {
    int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      // Out of descriptors: back off instead of spinning.
      if (errno == EMFILE || errno == ENFILE) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    // Writes to a vanished peer use MSG_NOSIGNAL (see Lines), so no SIGPIPE.
    int64_t id = connections->takeID();
    std::thread([client, id, presenter = connections->presenter, control = connections->control] {
      auto session = MCPConnection(client, id, presenter, control).run();
      if (auto alive = presenter.lock(); alive && session) alive->removeCursor(*session);
    }).detach();
  }
}
