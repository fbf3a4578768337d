#include "kit/protocol/Relay.hpp"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "kit/protocol/ResidentApp.hpp"
#include "kit/common/Lines.hpp"

namespace {

std::string helloLine() {
  std::error_code error;
  std::string cwd = std::filesystem::current_path(error).string();
  return JsonText::compact(Json{{"tarnwick", {{"cwd", cwd}}}});
}

// The id of a request that expects a reply, or none.
std::optional<Json> requestID(const std::string& line) {
  auto parsed = JsonText::parse(line);
  if (!parsed || !parsed->is_object() || !parsed->contains("method")) return std::nullopt;
  auto id = parsed->find("id");
  if (id == parsed->end()) return std::nullopt;
  return *id;
}

// The id a reply answers, or none.
std::optional<Json> replyID(const std::string& line) {
  auto parsed = JsonText::parse(line);
  if (!parsed || !parsed->is_object() || parsed->contains("method")) return std::nullopt;
  auto id = parsed->find("id");
  if (id == parsed->end()) return std::nullopt;
  return *id;
}

}  // namespace

std::string Relay::requestIDKey(const Json& id) {
  try {
    return Json::array({id}).dump();
  } catch (const std::exception&) {
    return JsonText::compact(id);
  }
}

bool Relay::reconnect() {
  auto socket = ResidentApp::connectOrLaunch(launcher_);
  if (!socket) return false;
  if (!Lines::write(*socket, helloLine())) {
    close(*socket);
    return false;
  }
  socket_ = socket;
  socketReady_.notify_all();
  return true;
}

bool Relay::connectAtStart() {
  std::lock_guard guard(state_);
  return reconnect();
}

void Relay::forwardRequests(const std::string& line) {
  auto id = requestID(line);
  bool written;
  {
    std::unique_lock guard(state_);
    if (!socket_ && !reconnect()) {
      guard.unlock();
      if (id) fail(*id, notRunning);
      return;
    }
    if (id) pending_[requestIDKey(*id)] = *id;
    written = Lines::write(*socket_, line);
  }
  if (!written && id && take(*id)) fail(*id, quitBeforeArrival);
}

void Relay::forwardReplies() {
  for (;;) {
    int socket;
    {
      std::unique_lock guard(state_);
      socketReady_.wait(guard, [this] { return socket_.has_value(); });
      socket = *socket_;
    }
    LineReader reader(socket);
    while (auto line = reader.next()) {
      if (auto id = replyID(*line)) take(*id);
      writeOutput(*line);
    }
    std::map<std::string, Json> outstanding;
    {
      std::lock_guard guard(state_);
      if (socket_ == socket) socket_.reset();
      close(socket);
      outstanding.swap(pending_);
    }
    for (const auto& [key, id] : outstanding) fail(id, restarted);
  }
}

void Relay::endOfInput() {
  {
    std::lock_guard guard(state_);
    if (socket_) shutdown(*socket_, SHUT_WR);
  }
  _exit(0);
}

std::optional<Json> Relay::take(const Json& id) {
  std::lock_guard guard(state_);
  auto found = pending_.find(requestIDKey(id));
  if (found == pending_.end()) return std::nullopt;
  Json taken = std::move(found->second);
  pending_.erase(found);
  return taken;
}

void Relay::fail(const Json& id, const std::string& message) {
  Json answer{{"jsonrpc", "2.0"},
              {"id", id},
              {"result", {{"content", Json::array({{{"type", "text"}, {"text", message}}})}, {"isError", true}}}};
  std::string text;
  try {
    text = JsonText::compact(answer);
  } catch (const std::exception&) {
    return;
  }
  writeOutput(text);
}

void Relay::writeOutput(const std::string& line) {
  std::lock_guard guard(outputLock_);
  Lines::write(STDOUT_FILENO, line);
}

namespace Bridge {

void run(std::optional<std::string> launcher) {
  signal(SIGPIPE, SIG_IGN);
  static Relay relay(std::move(launcher));  // lives until the process exits
  if (!relay.connectAtStart()) {
    Lines::write(STDERR_FILENO, Relay::notRunning);
    _exit(1);
  }
  std::thread([] {
    LineReader input(STDIN_FILENO);
    while (auto line = input.next()) relay.forwardRequests(*line);
    relay.endOfInput();
  }).detach();
  relay.forwardReplies();
}

}  // namespace Bridge
