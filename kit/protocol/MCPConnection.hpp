#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "kit/common/Json.hpp"
#include "kit/common/Lines.hpp"
#include "kit/tools/AgentSession.hpp"
#include "kit/tools/CursorPresenter.hpp"
#include "kit/tools/Engine.hpp"

// One agent connection in the resident app: JSON-RPC lines in, answers out,
// strictly one request after another.
class MCPConnection {
 public:
  static constexpr const char* version = "1.0.0";
  static constexpr const char* defaultProtocolVersion = "2025-06-18";
  // The control request of `tarnwick web`. Only local processes other than the app
  // itself may use it, so a browser session cannot drive its own bridge.
  static constexpr const char* controlMethod = "tarnwick/web";
  // Carries out a control request: the text to show, or a ToolError whose text is shown.
  using ControlHandler = std::function<std::string(const Json& params)>;

  // Without a control handler the control request is an unknown method.
  MCPConnection(int socket, int64_t sessionID, std::weak_ptr<CursorPresenter> presenter,
                ControlHandler control = {});
  MCPConnection(const MCPConnection&) = delete;
  MCPConnection& operator=(const MCPConnection&) = delete;

  // Serves until end of input, closes the socket and returns the session, if one started.
  std::shared_ptr<AgentSession> run();

  // Whether another complete line is already waiting; never blocks.
  bool hasQueuedRequest() { return reader_.hasQueuedLine(); }

  // Writes one whole line to the client.
  void sendLine(const std::string& line);

 private:
  void handle(const std::string& line);
  void startSession(const std::string& clientName);
  Json initializeResult(const Json& params);
  Json callTool(const Json& params);
  // Both answer only a request with an id: the id's text as the client wrote it.
  void control(const std::optional<std::string>& id, const Json& params);
  void answer(const std::optional<std::string>& id, const char* key, const Json& value);

  int socket_;
  int64_t sessionID_;
  std::weak_ptr<CursorPresenter> presenter_;
  ControlHandler control_;
  std::shared_ptr<AgentSession> session_;
  std::unique_ptr<Engine> engine_;
  std::optional<std::string> workingDirectory_;
  bool fromThisProcess_;
  std::mutex writeLock_;
  LineReader reader_;
};
