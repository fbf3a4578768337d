#include "app/WebCommand.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "kit/protocol/MCPConnection.hpp"
#include "kit/common/Json.hpp"
#include "kit/common/Paths.hpp"
#include "kit/common/Lines.hpp"
#include "kit/protocol/ResidentApp.hpp"
#include "kit/protocol/Relay.hpp"

namespace {

// Longer than any single call the bridge makes to the service host.
constexpr int answerSeconds = 30;

constexpr const char* usage =
    "Usage: tarnwick web on | off | status | code | connections | revoke ID | revoke all\n";

std::optional<Json> ask(int socket, const Json& params) {
  timeval limit{answerSeconds, 0};
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  Json request{{"jsonrpc", "2.0"}, {"id", 1}, {"method", MCPConnection::controlMethod}, {"params", params}};
  if (!Lines::write(socket, JsonText::compact(request))) return std::nullopt;
  LineReader reader(socket);
  auto line = reader.next();
  return line ? JsonText::parse(*line) : std::nullopt;
}

}  // namespace

int runWebCommand(int argc, char** argv) {
  if (argc < 3) {
    std::fputs(usage, stderr);
    return 64;
  }
  Json params{{"command", argv[2]}};
  if (argc > 3) params["id"] = argv[3];

  auto socket = ResidentApp::connectOrLaunch(Paths::ownExecutable());
  if (!socket) {
    std::fprintf(stderr, "%s\n", Relay::notRunning);
    return 1;
  }
  auto answer = ask(*socket, params);
  close(*socket);
  if (!answer || !answer->is_object()) {
    std::fputs("Tarnwick did not answer.\n", stderr);
    return 1;
  }
  if (auto result = answer->find("result"); result != answer->end() && (*result)["text"].is_string()) {
    std::printf("%s\n", (*result)["text"].get<std::string>().c_str());
    return 0;
  }
  const Json& error = (*answer)["error"];
  std::fprintf(stderr, "%s\n", error.is_object() && error["message"].is_string()
                                   ? error["message"].get<std::string>().c_str()
                                   : "Tarnwick could not carry out the command.");
  return 1;
}
