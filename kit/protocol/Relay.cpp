#include "kit/protocol/Relay.hpp"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>
#include <vector>

#include "kit/common/Lines.hpp"
#include "kit/protocol/JsonRpc.hpp"
#include "kit/protocol/ResidentApp.hpp"

namespace {

std::string helloLine() {
  std::error_code error;
  std::string cwd = std::filesystem::current_path(error).string();
  return JsonText::compact(Json{{"tarnwick", {{"cwd", cwd}}}});
}

}  // namespace

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
  auto id = JsonRpc::requestID(line);
  std::unique_lock writing(writeLock_);
  int socket;
  {
    std::unique_lock guard(state_);
    if (!socket_ && !reconnect()) {
      guard.unlock();
      writing.unlock();
      if (id) fail(*id, notRunning);
      return;
    }
    if (id) pending_.insert(*id);
    socket = *socket_;
  }
  // Written without state_, which the reply side needs to read on: an app that is busy
  // writing answers must never wait for the relay to take them.
  const bool written = Lines::write(socket, line);
  writing.unlock();
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
      if (auto id = JsonRpc::replyID(*line)) take(*id);
      writeOutput(*line);
    }
    std::set<std::string> outstanding;
    {
      std::lock_guard writing(writeLock_);  // no write is under way on the socket being closed
      std::lock_guard guard(state_);
      if (socket_ == socket) socket_.reset();
      close(socket);
      outstanding.swap(pending_);
    }
    for (const auto& id : outstanding) fail(id, restarted);
  }
}

void Relay::endOfInput() {
  {
    std::lock_guard guard(state_);
    if (socket_) shutdown(*socket_, SHUT_WR);
  }
  _exit(0);
}

bool Relay::take(const std::string& id) {
  std::lock_guard guard(state_);
  return pending_.erase(id) > 0;
}

void Relay::fail(const std::string& id, const std::string& message) {
  writeOutput(JsonRpc::answer(
      id, "result", {{"content", Json::array({{{"type", "text"}, {"text", message}}})}, {"isError", true}}));
}

void Relay::answerTooLong(std::string_view beginning) {
  writeOutput(JsonRpc::tooLong(beginning, LineReader::defaultMaxLine));
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
    // A request too long to read is answered here; the app never sees it.
    LineReader input(STDIN_FILENO, LineReader::defaultMaxLine, [](std::string_view beginning) {
      relay.answerTooLong(beginning);
    });
    while (auto line = input.next()) relay.forwardRequests(*line);
    relay.endOfInput();
  }).detach();
  relay.forwardReplies();
}

}  // namespace Bridge
