#pragma once
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "kit/common/Json.hpp"
#include "kit/tools/AgentSession.hpp"

// An MCPConnection served on one end of a socket pair, driven from the other end.
class SessionPipe {
 public:
  SessionPipe();
  ~SessionPipe();

  // Sends raw bytes, exactly as given (no newline added).
  void sendBytes(const std::string& bytes);
  void sendLine(const Json& message) { sendBytes(JsonText::compact(message) + "\n"); }
  // The next answer, or none when nothing arrives within the timeout.
  std::optional<Json> answer(int timeoutMilliseconds = 10000);
  // Ends the client's side and returns the session the connection made, if any.
  std::shared_ptr<AgentSession> finish();

 private:
  int client_ = -1;
  std::string buffer_;
  std::future<std::shared_ptr<AgentSession>> served_;
};
