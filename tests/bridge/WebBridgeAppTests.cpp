#include <gtest/gtest.h>

#include "kit/common/Files.hpp"
#include "kit/common/Json.hpp"
#include "kit/protocol/AgentSocket.hpp"
#include "kit/common/Lines.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/StandInRelayHost.hpp"
#include "tests/support/TempDirectory.hpp"

namespace {

using namespace std::chrono_literals;

struct Printed {
  int status;
  std::string output;
};

// The resident app with its web bridge switched on in the settings, pointed at the
// stand-in relay service, and the `tarnwick web` command that drives it.
class WebBridgeInTheApp : public ::testing::Test {
 protected:
  TempDirectory directory;
  StandInRelayHost host;
  const std::string socket = directory.file("agent.sock");
  std::map<std::string, std::string> environment{{"TARNWICK_SOCKET", socket},
                                                 {"TARNWICK_PLATFORM", "sim"},
                                                 {"TARNWICK_RELAY_URL", host.origin()},
                                                 {"XDG_STATE_HOME", directory.file("state")},
                                                 {"XDG_CONFIG_HOME", directory.file("config")},
                                                 {"TARNWICK_LOG", ""}};
  std::unique_ptr<ChildProcess> app;

  void SetUp() override {
    std::filesystem::create_directories(directory.file("config/tarnwick"));
    ASSERT_TRUE(Files::writeAtomically(settingsPath(), R"({"WebBridgeEnabled": true})", 0600));
    app = std::make_unique<ChildProcess>(tarnwickExecutable(), std::vector<std::string>{"serve"}, environment);
    ASSERT_TRUE(waitForSocket(socket));
  }

  std::string settingsPath() const { return directory.file("config/tarnwick/settings.json"); }

  Printed web(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "web");
    ChildProcess command(tarnwickExecutable(), arguments, environment);
    command.closeInput();
    std::string output;
    while (auto line = command.readLine()) output += *line + "\n";
    auto status = command.wait();
    return {status.value_or(-1), output + command.readAllErrors()};
  }

  // A ping from a local agent straight on the socket, answered while the bridge polls.
  bool localPingAnswered() {
    auto fd = AgentSocket::connect(socket);
    if (!fd) return false;
    Lines::write(*fd, R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
    LineReader reader(*fd);
    auto line = reader.next();
    close(*fd);
    return line && Json::parse(*line)["result"] == Json::object();
  }
};

}  // namespace

TEST_F(WebBridgeInTheApp, FollowsTheSettingAndRelaysBrowserSessions) {
  ASSERT_TRUE(host.waitForPolls(1)) << "on at start because the setting is on";
  host.send("s1", {{"jsonrpc", "2.0"}, {"id", "a"}, {"method", "tools/list"}});
  // A browser session must not drive its own bridge.
  host.send("s1", {{"jsonrpc", "2.0"}, {"id", "b"}, {"method", "tarnwick/web"}, {"params", {{"command", "off"}}}});
  auto replies = host.waitForReplies(2);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0]["message"]["result"]["tools"].size(), 14u);
  EXPECT_EQ(replies[1]["message"]["error"]["code"], -32601);

  host.slowSeconds = 3;
  host.failPolls({StandInRelayHost::Fault::slow});
  ASSERT_TRUE(host.waitForPolls(1));
  EXPECT_TRUE(localPingAnswered()) << "a held poll never blocks the app's other connections";

  auto off = web({"off"});
  EXPECT_EQ(off.status, 0);
  EXPECT_EQ(off.output, "Web connections are off.\n");
  EXPECT_EQ(Json::parse(*Files::read(settingsPath()))["WebBridgeEnabled"], false);
  EXPECT_FALSE(host.waitForPolls(1, 1500ms)) << "no polls once off";

  auto on = web({"on"});
  EXPECT_EQ(on.output, "Web connections are on.\n");
  EXPECT_TRUE(host.waitForPolls(1));
}

TEST_F(WebBridgeInTheApp, TheWebCommandShowsCodesAndConnectionsAndRevokes) {
  host.setCodeAnswer({{"code", "ZX9-41K"}, {"expiresAt", "2099-01-01T00:00:00Z"}});
  auto code = web({"code"});
  EXPECT_EQ(code.status, 0);
  EXPECT_EQ(code.output.rfind("Connection code: ZX9-41K\nIt expires in ", 0), 0u) << code.output;

  host.setConnections(Json::parse(R"([{"id": "c1", "client": "Claude", "createdAt": "2026-12-01T08:00:00Z"}])"));
  ASSERT_TRUE(host.waitForPolls(2));
  auto listed = web({"connections"});
  EXPECT_EQ(listed.output.rfind("c1  Claude  connected ", 0), 0u) << listed.output;

  auto revoked = web({"revoke", "all"});
  EXPECT_EQ(revoked.output, "Every browser assistant was disconnected.\n");
  EXPECT_EQ(web({"connections"}).output, "No browser assistant is connected.\n");

  auto unnamed = web({"revoke"});
  EXPECT_EQ(unnamed.status, 1);
  EXPECT_EQ(unnamed.output, "Name the connection to revoke, or \"all\".\n");
  auto unknown = web({"sideways"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.output, "Unknown web command \"sideways\". Use on, off, status, code, connections or revoke.\n");
}

TEST_F(WebBridgeInTheApp, WithoutARelayServiceTheBridgeSaysSoAndStaysOff) {
  app.reset();
  environment.erase("TARNWICK_RELAY_URL");
  std::filesystem::remove(socket);
  app = std::make_unique<ChildProcess>(tarnwickExecutable(), std::vector<std::string>{"serve"}, environment);
  ASSERT_TRUE(waitForSocket(socket));
  auto status = web({"status"});
  EXPECT_EQ(status.output, "Web connections are on, but no relay service is configured: set TARNWICK_RELAY_URL or "
                           "\"RelayServiceURL\" in " + settingsPath() + ".\n");
  auto code = web({"code"});
  EXPECT_EQ(code.status, 1);
  EXPECT_EQ(code.output, "No relay service is configured. Set TARNWICK_RELAY_URL or \"RelayServiceURL\" in " +
                             settingsPath() + ".\n");
}
