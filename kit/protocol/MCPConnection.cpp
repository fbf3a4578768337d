#include "kit/protocol/MCPConnection.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "kit/common/Log.hpp"
#include "kit/common/Text.hpp"
#include "kit/protocol/Base64.hpp"
#include "kit/protocol/JsonRpc.hpp"
#include "kit/protocol/ServerInstructions.hpp"
#include "kit/tools/Catalogue.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/tools/Tools.hpp"

namespace {

Json textContent(const std::string& text) { return Json{{"type", "text"}, {"text", text}}; }

Json resultContent(const ToolResult& result) {
  Json content = Json::array({textContent(result.text)});
  if (result.jpeg) {
    content.push_back({{"type", "image"}, {"data", Base64::encode(*result.jpeg)}, {"mimeType", "image/jpeg"}});
  }
  return Json{{"content", std::move(content)}};
}

// Connections the app opens to itself are browser sessions of the web bridge.
bool peerIsThisProcess(int socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid == getpid();
}

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

}  // namespace

MCPConnection::MCPConnection(int socket, int64_t sessionID, std::weak_ptr<CursorPresenter> presenter,
                             ControlHandler control)
    : socket_(socket), sessionID_(sessionID), presenter_(std::move(presenter)), control_(std::move(control)),
      fromThisProcess_(peerIsThisProcess(socket)),
      reader_(socket, LineReader::defaultMaxLine, [this](std::string_view beginning) {
        sendLine(JsonRpc::tooLong(beginning, LineReader::defaultMaxLine));
      }) {}

std::shared_ptr<AgentSession> MCPConnection::run() {
  while (auto line = reader_.next()) handle(*line);
  close(socket_);
  return session_;
}

void MCPConnection::sendLine(const std::string& line) {
  std::lock_guard guard(writeLock_);
  Lines::write(socket_, line);
}

void MCPConnection::answer(const std::optional<std::string>& id, const char* key, const Json& value) {
  if (!id) return;
  try {
    sendLine(JsonRpc::answer(*id, key, value));
  } catch (const std::exception&) {
    // an answer that cannot be serialised is dropped
  }
}

void MCPConnection::handle(const std::string& line) {
  auto parsed = JsonText::parse(line);
  if (!parsed || !parsed->is_object()) return;
  const Json& message = *parsed;

  if (auto hello = message.find("tarnwick"); hello != message.end() && hello->is_object()) {
    auto cwd = hello->find("cwd");
    workingDirectory_ = cwd != hello->end() && cwd->is_string() ? std::optional(cwd->get<std::string>()) : std::nullopt;
    return;
  }
  auto method = message.find("method");
  if (method == message.end() || !method->is_string()) return;
  const auto& name = method->get_ref<const std::string&>();
  auto paramsEntry = message.find("params");
  const Json params = paramsEntry != message.end() && paramsEntry->is_object() ? *paramsEntry : Json::object();
  // The id goes back exactly as the client wrote it; a number no machine integer holds
  // would otherwise come back rounded.
  const auto id = message.contains("id") ? JsonRpc::requestID(line) : std::nullopt;

  if (name == "initialize") {
    answer(id, "result", initializeResult(params));
  } else if (name == "ping") {
    answer(id, "result", Json::object());
  } else if (name == "tools/list") {
    answer(id, "result", Json{{"tools", Tools::definitions()}});
  } else if (name == "tools/call") {
    answer(id, "result", callTool(params));
  } else if (name == controlMethod && control_ && !fromThisProcess_) {
    control(id, params);
  } else {
    answer(id, "error", Json{{"code", -32601}, {"message", "Method not found: " + name}});
  }
}

void MCPConnection::control(const std::optional<std::string>& id, const Json& params) {
  try {
    answer(id, "result", Json{{"text", control_(params)}});
  } catch (const std::exception& error) {
    answer(id, "error", Json{{"code", -32000}, {"message", error.what()}});
  }
}

void MCPConnection::startSession(const std::string& clientName) {
  if (session_) return;
  session_ = std::make_shared<AgentSession>(sessionID_, clientName, workingDirectory_);
  engine_ = std::make_unique<Engine>(session_, presenter_);
}

Json MCPConnection::initializeResult(const Json& params) {
  std::string clientName;
  if (auto info = params.find("clientInfo"); info != params.end() && info->is_object()) {
    if (auto name = info->find("name"); name != info->end() && name->is_string()) clientName = name->get<std::string>();
  }
  startSession(clientName);
  auto requested = params.find("protocolVersion");
  return Json{{"protocolVersion", requested != params.end() && requested->is_string() ? *requested
                                                                                        : Json(defaultProtocolVersion)},
              {"capabilities", {{"tools", Json::object()}}},
              {"serverInfo", {{"name", "tarnwick"}, {"version", version}}},
              {"instructions", serverInstructions()}};
}

Json MCPConnection::callTool(const Json& params) {
  startSession("");
  auto nameEntry = params.find("name");
  const std::string tool = nameEntry != params.end() && nameEntry->is_string() ? nameEntry->get<std::string>() : "";
  auto argumentsEntry = params.find("arguments");
  const Arguments arguments(argumentsEntry != params.end() && argumentsEntry->is_object() ? *argumentsEntry
                                                                                          : Json::object());
  const auto started = std::chrono::steady_clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
  try {
    ToolResult result = Tools::call(tool, arguments, *engine_, [this] { return hasQueuedRequest(); });
    Log::info(Log::tools, tool + " took " + seconds(elapsed()) + "s, " + std::to_string(Text::characterCount(result.text)) +
                              " chars, image " + std::to_string(result.jpeg ? result.jpeg->size() : 0) + " bytes");
    return resultContent(result);
  } catch (const std::exception& error) {
    Log::info(Log::tools, tool + " failed after " + seconds(elapsed()) + "s");
    return Json{{"content", Json::array({textContent(error.what())})}, {"isError", true}};
  }
}
