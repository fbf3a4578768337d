#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "kit/common/Json.hpp"

struct MHD_Daemon;

// A relay service on 127.0.0.1 that the tests script: messages and closings handed
// out by long polls, faults injected into the next calls, and a record of every call.
class StandInRelayHost {
 public:
  enum class Fault { status500, status403, notJSON, slow, drop };

  StandInRelayHost();
  ~StandInRelayHost();
  StandInRelayHost(const StandInRelayHost&) = delete;
  StandInRelayHost& operator=(const StandInRelayHost&) = delete;

  std::string origin() const;

  void send(const std::string& session, const Json& message);
  void close(const std::string& session);
  void setConnections(Json connections);
  // The next polls (or replies) fail this way, one fault per call, in order.
  void failPolls(std::vector<Fault> faults);
  void failReplies(std::vector<Fault> faults);

  // Bodies of the calls to a path ("api/bridge/poll" ...), oldest first.
  std::vector<Json> calls(const std::string& path);
  size_t pollCount();
  // The accepted replies, waiting until there are at least count or the time runs out.
  std::vector<Json> waitForReplies(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Waits until count more polls than now have arrived.
  bool waitForPolls(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // What api/bridge/code answers from now on.
  void setCodeAnswer(Json answer);
  std::atomic<double> pollHoldSeconds = 0.1;  // how long an empty poll is held open
  std::atomic<double> slowSeconds = 2;        // how long a slow answer takes

  struct Answer {
    int status;  // 0: drop the connection
    std::string body;
  };
  Answer answer(const std::string& path, const std::string& body);

 private:
  std::optional<Fault> takeFault(std::deque<Fault>& faults);
  Answer faulty(Fault fault, std::unique_lock<std::mutex>& guard);
  Answer poll(std::unique_lock<std::mutex>& guard);

  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
  std::mutex lock_;  // guards everything below
  std::condition_variable changed_;
  bool stopping_ = false;
  std::deque<Json> pending_;  // poll "messages" elements not yet handed out
  Json connections_ = Json::array();
  Json codeAnswer_{{"code", "K7Q-2MX"}, {"expiresAt", "2030-01-01T10:00:00.000Z"}};
  std::deque<Fault> pollFaults_, replyFaults_;
  std::map<std::string, std::vector<Json>> calls_;
  std::vector<Json> replies_;
};
