#include "kit/protocol/SocketServer.hpp"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "kit/protocol/AgentSocket.hpp"
#include "kit/protocol/MCPConnection.hpp"
#include "kit/common/ToolError.hpp"

void SocketServer::start() {
  if (auto live = AgentSocket::connect(path_)) {
    close(*live);
    throw AlreadyRunning();
  }
  unlink(path_.c_str());  // a stale socket of an earlier run

  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) throw ToolError("Could not create the socket.");
  sockaddr_un address = AgentSocket::address(path_);
  if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      chmod(path_.c_str(), 0600) != 0 || listen(listener, 16) != 0) {
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
