#pragma once
#include <condition_variable>
#include <set>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "kit/common/Json.hpp"

// The `tarnwick mcp` relay: copies lines between the MCP client's stdio and the
// agent socket, launching the resident app when needed and answering calls the
// app can no longer answer.
class Relay {
 public:
  static constexpr const char* notRunning = "Tarnwick is not running and could not be started.";
  static constexpr const char* quitBeforeArrival = "Tarnwick quit before the call arrived; call the tool again.";
  static constexpr const char* restarted =
      "Tarnwick restarted while this call ran; check the app with get_app_state and call the tool again if needed.";

  // launcher: the executable to start with "serve" when the app is not running, or none.
  explicit Relay(std::optional<std::string> launcher) : launcher_(std::move(launcher)) {}

  // The first connection, before any line is relayed.
  bool connectAtStart();
  void forwardRequests(const std::string& line);
  [[noreturn]] void forwardReplies();
  // Standard input ended: the app sees end of input and the relay exits with status 0.
  [[noreturn]] void endOfInput();

  // A line from the client too long to read: answered at once, never forwarded.
  void answerTooLong(std::string_view beginning);

 private:
  // Connects (or launches and connects) and sends the hello line. Call with state_ held.
  bool reconnect();
  // Ids are kept as the client wrote them; the app echoes them byte for byte.
  bool take(const std::string& id);
  void fail(const std::string& id, const std::string& message);
  void writeOutput(const std::string& line);

  std::optional<std::string> launcher_;
  // Lock order: writeLock_, then state_. Neither is held while waiting on standard output.
  std::mutex writeLock_;             // one write to the socket at a time; held while it is closed
  std::mutex state_;                 // guards socket_ and pending_; held across reconnect, never across a write
  std::condition_variable socketReady_;
  std::optional<int> socket_;
  std::set<std::string> pending_;
  std::mutex outputLock_;            // makes each write to standard output whole
};

namespace Bridge {

// The whole `mcp` mode.
[[noreturn]] void run(std::optional<std::string> launcher);

}  // namespace Bridge
