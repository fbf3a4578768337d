#include "tests/support/SessionPipe.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "kit/common/Lines.hpp"
#include "kit/protocol/MCPConnection.hpp"

SessionPipe::SessionPipe() {
  int pair[2];
  socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair);
  client_ = pair[0];
  int server = pair[1];
  served_ = std::async(std::launch::async, [server] {
    return MCPConnection(server, 1, std::weak_ptr<CursorPresenter>()).run();
  });
}

SessionPipe::~SessionPipe() {
  if (client_ >= 0) finish();
}

void SessionPipe::sendBytes(const std::string& bytes) {
  size_t offset = 0;
  while (offset < bytes.size()) {
    ssize_t written = send(client_, bytes.data() + offset, bytes.size() - offset, MSG_NOSIGNAL);
    if (written <= 0) return;
    offset += static_cast<size_t>(written);
  }
}

std::optional<Json> SessionPipe::answer(int timeoutMilliseconds) {
  for (;;) {
    if (auto newline = buffer_.find('\n'); newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      return Json::parse(line);
    }
    pollfd entry{client_, POLLIN, 0};
    if (poll(&entry, 1, timeoutMilliseconds) <= 0) return std::nullopt;
    char area[65536];
    ssize_t count = recv(client_, area, sizeof area, 0);
    if (count <= 0) return std::nullopt;
    buffer_.append(area, static_cast<size_t>(count));
  }
}

std::shared_ptr<AgentSession> SessionPipe::finish() {
  shutdown(client_, SHUT_WR);
  auto session = served_.get();
  close(client_);
  client_ = -1;
  return session;
}
