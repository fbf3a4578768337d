#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kit/bridge/LocalSession.hpp"
#include "kit/bridge/WebBridgeServer.hpp"
#include "kit/common/BlockingQueue.hpp"
#include "kit/common/SettingsFile.hpp"

// The outgoing connection to the relay service through which browser assistants
// reach the tools: it long-polls for their messages, feeds each remote session into
// an agent-socket connection of its own and posts every line that comes back.
class WebBridge : public std::enable_shared_from_this<WebBridge> {
 public:
  using Code = WebBridgeCode;
  using Connection = WebBridgeConnection;

  static constexpr const char* enabledKey = "WebBridgeEnabled";
  static constexpr const char* relayURLKey = "RelayServiceURL";
  static constexpr double idleSeconds = 1800;
  static constexpr const char* refusedRequest = "Tarnwick could not take this request on the computer. Try again.";
  // Remote sessions served at once (each holds an agent connection and three threads);
  // requests of further sessions are refused until one ends.
  static constexpr size_t maxSessions = 32;

  struct Options {
    std::optional<std::string> origin;  // none: no relay service configured
    std::string secretDirectory;
    std::string socketPath;
    SettingsFile settings{""};
    std::function<Date()> now;                                // default: the system clock
    std::function<void(double seconds)> sleep;                // default: a wait that stop() cuts short
    std::function<void(std::function<void()>)> postOnMain;    // default: the main queue
    WebBridgeServer::Timeouts timeouts;
  };

  // The resident app's bridge, configured from the environment and the settings file.
  static const std::shared_ptr<WebBridge>& shared();
  static Options userOptions();
  static std::shared_ptr<WebBridge> make(Options options);
  ~WebBridge();

  bool isEnabled() const;
  void setEnabled(bool enabled);
  bool isConfigured() const { return options_.origin.has_value(); }
  const std::string& settingsPath() const { return options_.settings.path(); }

  void start();
  void stop();
  bool isRunning() const;
  bool needsSetup() const;
  bool hasActiveSession() const;
  std::vector<Connection> connections() const;
  // Blocking calls to the service host; failures are thrown to the caller.
  Code requestCode();
  void revoke(const std::string& id);

  // Called on the main queue after every change a viewer could show.
  void observe(std::function<void()> onChange);

 private:
  struct PollTask {
    std::atomic<bool> cancelled{false};
  };

  explicit WebBridge(Options options);

  WebBridgeServer api();
  WebBridgeServer apiLocked();
  void pollLoop(const std::shared_ptr<PollTask>& task);
  void handle(const WebBridgeServer::PollAnswer& answer, const std::shared_ptr<PollTask>& task);
  void deliver(const std::string& sessionID, const std::string& message, const std::shared_ptr<PollTask>& task);
  void serveReplies(const std::string& sessionID, const std::shared_ptr<LocalSession>& session);
  void release(const std::string& sessionID, const std::shared_ptr<LocalSession>& session);
  void refuse(const std::string& sessionID, const std::string& message);
  void postReply(const std::string& sessionID, const std::string& line);
  void refuseSecret(const std::shared_ptr<PollTask>& task);
  std::shared_ptr<LocalSession> openSession(const std::string& sessionID);
  void interruptibleSleep(double seconds);
  void postChanged();

  Options options_;
  mutable std::atomic<bool> lastKnownEnabled_{false};
  mutable std::mutex lock_;  // guards everything below; released before any session's lock is taken
  std::optional<WebBridgeServer> server_;
  std::shared_ptr<PollTask> pollTask_;
  std::map<std::string, std::shared_ptr<LocalSession>> sessions_;
  std::vector<Connection> knownConnections_;
  bool secretRefused_ = false;
  std::vector<std::function<void()>> observers_;
  uint64_t stops_ = 0;  // counts stop() calls, so that waits end early
  std::condition_variable stopped_;
  // Refusals waiting for their post: (session, answer line).
  std::shared_ptr<BlockingQueue<std::optional<std::pair<std::string, std::string>>>> refusals_ =
      std::make_shared<BlockingQueue<std::optional<std::pair<std::string, std::string>>>>();
  std::once_flag refusalsStarted_;
};
