#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "kit/common/Json.hpp"
#include "kit/protocol/Lines.hpp"
#include "kit/tools/AgentSession.hpp"
#include "kit/tools/CursorPresenter.hpp"
#include "kit/tools/Engine.hpp"

// One agent connection in the resident app: JSON-RPC lines in, answers out,
// strictly one request after another.
class MCPConnection {
 public:
  static constexpr const char* version = "1.0.0";
  static constexpr const char* defaultProtocolVersion = "2025-06-18";

  MCPConnection(int socket, int64_t sessionID, std::weak_ptr<CursorPresenter> presenter);
  MCPConnection(const MCPConnection&) = delete;
  MCPConnection& operator=(const MCPConnection&) = delete;

  // Serves until end of input, closes the socket and returns the session, if one started.
  std::shared_ptr<AgentSession> run();

  // Whether another complete line is already waiting; never blocks.
  bool hasQueuedRequest() { return reader_.hasQueuedLine(); }

  void send(const Json& message);

 private:
  void handle(const std::string& line);
  void startSession(const std::string& clientName);
  Json initializeResult(const Json& params);
  Json callTool(const Json& params);
  void controlWebBridge(const Json& request, const Json& params);
  void answer(const Json& request, const char* key, Json value);

  int socket_;
  int64_t sessionID_;
  std::weak_ptr<CursorPresenter> presenter_;
  std::shared_ptr<AgentSession> session_;
  std::unique_ptr<Engine> engine_;
  std::optional<std::string> workingDirectory_;
  bool fromThisProcess_;
  std::mutex writeLock_;
  LineReader reader_;
};
