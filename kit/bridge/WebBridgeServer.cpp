#include "kit/bridge/WebBridgeServer.hpp"

#include "kit/bridge/HTTPPost.hpp"
#include "kit/common/ToolError.hpp"

namespace {

std::optional<std::string> stringAt(const Json& object, const char* key) {
  auto found = object.find(key);
  if (found == object.end() || !found->is_string()) return std::nullopt;
  return found->get<std::string>();
}

std::optional<Date> dateAt(const Json& object, const char* key) {
  auto text = stringAt(object, key);
  return text ? InternetDate::parse(*text) : std::nullopt;
}

std::optional<WebBridgeServer::Item> itemFrom(const Json& element) {
  if (!element.is_object()) return std::nullopt;
  auto session = stringAt(element, "session");
  if (!session) return std::nullopt;
  if (auto closed = element.find("closed"); closed != element.end() && *closed == true) {
    return WebBridgeServer::Item{*session, std::nullopt};
  }
  // A parsed body holds only valid JSON, so any value present is a message.
  auto message = element.find("message");
  if (message == element.end()) return std::nullopt;
  return WebBridgeServer::Item{*session, JsonText::compact(*message)};
}

std::optional<WebBridgeConnection> connectionFrom(const Json& element) {
  if (!element.is_object()) return std::nullopt;
  auto id = stringAt(element, "id");
  auto createdAt = dateAt(element, "createdAt");
  if (!id || !createdAt) return std::nullopt;
  return WebBridgeConnection{*id, stringAt(element, "client").value_or(""), *createdAt,
                             dateAt(element, "lastUsedAt").value_or(*createdAt)};
}

}  // namespace

WebBridgeServer::WebBridgeServer(std::string origin, std::string deviceID, std::string secret, Timeouts timeouts)
    : origin_(std::move(origin)), deviceID_(std::move(deviceID)), secret_(std::move(secret)), timeouts_(timeouts) {}

std::string WebBridgeServer::hostName() const { return HTTP::hostName(origin_); }

Json WebBridgeServer::call(const std::string& path, Json body, double timeout,
                           const std::atomic<bool>* cancelled) const {
  body["deviceId"] = deviceID_;
  body["secret"] = secret_;
  auto response = HTTP::postJSON(HTTP::joined(origin_, path), JsonText::compact(body), timeout, cancelled);
  if (response.status != 200) throw Refusal(static_cast<int>(response.status), hostName());
  auto parsed = JsonText::parse(response.body);
  if (!parsed || !parsed->is_object()) throw Refusal(200, hostName());
  return *parsed;
}

WebBridgeCode WebBridgeServer::requestCode() const {
  return parseCode(call("api/bridge/code", Json::object(), timeouts_.code), hostName());
}

WebBridgeServer::PollAnswer WebBridgeServer::poll(const std::atomic<bool>* cancelled) const {
  return parsePollAnswer(call("api/bridge/poll", Json::object(), timeouts_.poll, cancelled));
}

void WebBridgeServer::reply(const std::string& session, const Json& message) const {
  call("api/bridge/reply", Json{{"session", session}, {"message", message}}, timeouts_.reply);
}

void WebBridgeServer::revoke(const std::string& connection) const {
  call("api/bridge/revoke", Json{{"connection", connection}}, timeouts_.revoke);
}

WebBridgeServer::PollAnswer WebBridgeServer::parsePollAnswer(const Json& body) {
  PollAnswer answer;
  if (auto messages = body.find("messages"); messages != body.end() && messages->is_array()) {
    for (const auto& element : *messages) {
      if (auto item = itemFrom(element)) answer.items.push_back(std::move(*item));
    }
  }
  if (auto connections = body.find("connections"); connections != body.end() && connections->is_array()) {
    for (const auto& element : *connections) {
      if (auto connection = connectionFrom(element)) answer.connections.push_back(std::move(*connection));
    }
  }
  return answer;
}

WebBridgeCode WebBridgeServer::parseCode(const Json& body, const std::string& hostName) {
  auto code = stringAt(body, "code");
  auto expiresAt = dateAt(body, "expiresAt");
  if (!code || !expiresAt) throw ToolError(hostName + " sent no connection code.");
  return WebBridgeCode{*code, *expiresAt};
}
