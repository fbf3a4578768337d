#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "kit/common/ToolError.hpp"
#include "kit/protocol/AgentSocket.hpp"
#include "kit/protocol/MCPConnection.hpp"
#include "kit/tools/CursorPresenter.hpp"

// Starting failed because another resident app serves the socket already.
struct AlreadyRunning : ToolError {
  AlreadyRunning() : ToolError("Tarnwick is already running.") {}
};

// The resident app's listener on the agent socket: one thread and MCPConnection per client.
class SocketServer {
 public:
  SocketServer(std::string path, std::weak_ptr<CursorPresenter> presenter,
               MCPConnection::ControlHandler control = {})
      : path_(path.substr(0, AgentSocket::maxPathBytes)) {
    connections_->presenter = std::move(presenter);
    connections_->control = std::move(control);
  }

  // Binds and starts accepting; fails with AlreadyRunning, or a ToolError whose text says why.
  void start();

  const std::string& path() const { return path_; }

 private:
  // What the accept thread uses; shared so that it never outlives its owner.
  struct Connections {
    std::weak_ptr<CursorPresenter> presenter;
    MCPConnection::ControlHandler control;
    std::mutex idLock;  // guards nextID
    int64_t nextID = 1;
    int64_t takeID();
  };
  static void acceptLoop(int listener, std::shared_ptr<Connections> connections);

  std::string path_;
  std::shared_ptr<Connections> connections_ = std::make_shared<Connections>();
};
