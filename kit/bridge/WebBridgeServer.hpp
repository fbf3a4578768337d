#pragma once
#include <atomic>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "kit/bridge/InternetDate.hpp"
#include "kit/common/Json.hpp"

// A connection code the user types into the browser assistant.
struct WebBridgeCode {
  std::string code;
  Date expiresAt;
};

// A browser assistant the service host has paired with this computer.
struct WebBridgeConnection {
  std::string id;
  std::string client;  // empty when the service host names none
  Date createdAt;
  Date lastUsedAt;
  bool operator==(const WebBridgeConnection&) const = default;
};

// Seconds each call to the service host may take.
struct WebBridgeTimeouts {
  double code = 20, poll = 45, reply = 20, revoke = 20;
};

// The service host's HTTP interface, for one device and secret.
class WebBridgeServer {
 public:
  // A message for a session, or (without message) the closing of a session.
  struct Item {
    std::string session;
    std::optional<std::string> message;  // compact JSON text
    bool isClosing() const { return !message; }
  };

  struct PollAnswer {
    std::vector<Item> items;
    std::vector<WebBridgeConnection> connections;
  };

  // The service host answered, but not with status 200 and a JSON object.
  struct Refusal : std::exception {
    Refusal(int status, const std::string& host)
        : status(status), description(host + " answered " + std::to_string(status) + ".") {}
    const char* what() const noexcept override { return description.c_str(); }
    int status;
    std::string description;
  };

  using Timeouts = WebBridgeTimeouts;

  WebBridgeServer(std::string origin, std::string deviceID, std::string secret, Timeouts timeouts = {});

  const std::string& origin() const { return origin_; }
  const std::string& deviceID() const { return deviceID_; }
  const std::string& secret() const { return secret_; }
  // The service host's name, as texts about it say it.
  std::string hostName() const;

  WebBridgeCode requestCode() const;
  PollAnswer poll(const std::atomic<bool>* cancelled) const;
  void reply(const std::string& session, const Json& message) const;
  void revoke(const std::string& connection) const;

  static PollAnswer parsePollAnswer(const Json& body);
  // Fails with a ToolError when the answer holds no usable code.
  static WebBridgeCode parseCode(const Json& body, const std::string& hostName);

 private:
  Json call(const std::string& path, Json body, double timeout, const std::atomic<bool>* cancelled = nullptr) const;

  std::string origin_;
  std::string deviceID_;
  std::string secret_;
  Timeouts timeouts_;
};
