#include <gtest/gtest.h>
#include <signal.h>

#include <sys/socket.h>

#include <set>
#include <thread>
#include <unistd.h>

#include "kit/common/Json.hpp"
#include "kit/protocol/AgentSocket.hpp"
#include "kit/common/Lines.hpp"
#include "kit/protocol/Base64.hpp"
#include "tests/support/DecodedJPEG.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempDirectory.hpp"

namespace {

// A resident app and a relay on a private socket, as an MCP client starts them.
class RelayEndToEnd : public ::testing::Test {
 protected:
  TempDirectory directory;
  const std::string socket = directory.file("agent.sock");
  const std::map<std::string, std::string> environment = {
      {"TARNWICK_SOCKET", socket}, {"XDG_STATE_HOME", directory.file("state")}, {"TARNWICK_LOG", ""}};

  void TearDown() override {
    // A relaunched app is nobody's child: find it through the socket it serves.
    if (auto owner = AgentSocket::owner(socket)) kill(*owner, SIGKILL);
  }

  std::unique_ptr<ChildProcess> serve() {
    auto app = std::make_unique<ChildProcess>(tarnwickExecutable(), std::vector<std::string>{"serve"}, environment);
    EXPECT_TRUE(waitForSocket(socket));
    return app;
  }

  std::unique_ptr<ChildProcess> relay() {
    return std::make_unique<ChildProcess>(tarnwickExecutable(), std::vector<std::string>{"mcp"}, environment);
  }

  static Json call(ChildProcess& relay, const Json& request) {
    EXPECT_TRUE(relay.writeLine(JsonText::compact(request)));
    auto line = relay.readLine();
    EXPECT_TRUE(line) << "no answer to " << request.dump();
    return line ? Json::parse(*line) : Json();
  }

  static Json toolCall(int id, const std::string& tool, Json arguments = Json::object()) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", "tools/call"},
            {"params", {{"name", tool}, {"arguments", std::move(arguments)}}}};
  }
};

Json request(Json id, const std::string& method) { return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}}; }

}  // namespace

TEST_F(RelayEndToEnd, AnswersTheSessionMessagesThroughTheApp) {
  auto app = serve();
  auto client = relay();
  Json init = call(*client, {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"},
                             {"params", {{"protocolVersion", "2025-03-26"}, {"clientInfo", {{"name", "test"}}}}}});
  EXPECT_EQ(init["result"]["protocolVersion"], "2025-03-26");
  EXPECT_EQ(init["result"]["serverInfo"]["name"], "tarnwick");

  client->writeLine(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
  Json list = call(*client, request("list", "tools/list"));
  EXPECT_EQ(list["id"], "list");
  ASSERT_EQ(list["result"]["tools"].size(), 14u);
  int readOnly = 0;
  for (const auto& tool : list["result"]["tools"]) readOnly += tool["annotations"]["readOnlyHint"].get<bool>();
  EXPECT_EQ(readOnly, 2);

  EXPECT_EQ(call(*client, request(nullptr, "ping")), Json({{"jsonrpc", "2.0"}, {"id", nullptr}, {"result", Json::object()}}));
  EXPECT_EQ(call(*client, request(4, "prompts/list"))["error"]["code"], -32601);
  Json failed = call(*client, toolCall(5, "click", {{"app", "Notes"}, {"mouse_button", "side"}}));
  EXPECT_EQ(failed["result"]["isError"], true);
  EXPECT_EQ(failed["result"]["content"][0]["text"], "Unknown mouse_button \"side\". Use left, right or middle.");

  client->closeInput();
  EXPECT_EQ(client->wait(), 0);
  EXPECT_FALSE(app->wait(std::chrono::milliseconds(100))) << "the app outlives its clients";
}

TEST_F(RelayEndToEnd, ASecondAppOnTheSamePathExitsAndLeavesTheFirstServing) {
  auto first = serve();
  ChildProcess second(tarnwickExecutable(), {"serve"}, environment);
  EXPECT_EQ(second.wait(), 1);
  EXPECT_NE(second.readAllErrors().find("Tarnwick is already running."), std::string::npos);
  auto client = relay();
  EXPECT_EQ(call(*client, request(1, "ping"))["result"], Json::object());
  EXPECT_EQ(AgentSocket::owner(socket), first->pid());
}

TEST_F(RelayEndToEnd, AnAppThatDiesMidCallIsAnsweredForAndRelaunched) {
  // A stand-in app that takes the calls and goes away without answering them.
  // Close-on-exec, or the relay child would inherit the listener and keep it alive.
  int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address = AgentSocket::address(this->socket);
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  auto client = relay();
  int connection = accept(listener, nullptr, nullptr);
  ASSERT_GE(connection, 0);
  close(listener);
  client->writeLine(JsonText::compact(toolCall(2, "list_apps")));
  client->writeLine(JsonText::compact(toolCall(3, "list_apps")));
  client->writeLine(JsonText::compact(request("3", "ping")));
  LineReader received(connection);
  EXPECT_NE(received.next()->find("\"tarnwick\""), std::string::npos) << "the hello line comes first";
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(received.next());
  close(connection);

  std::set<std::string> answered;
  for (int i = 0; i < 3; ++i) {
    auto line = client->readLine();
    ASSERT_TRUE(line);
    Json answer = Json::parse(*line);
    EXPECT_EQ(answer["result"]["isError"], true);
    EXPECT_EQ(answer["result"]["content"][0]["text"],
              "Tarnwick restarted while this call ran; check the app with get_app_state and call the tool again if "
              "needed.");
    answered.insert(answer["id"].dump());
  }
  EXPECT_EQ(answered, (std::set<std::string>{"2", "3", "\"3\""})) << "id 3 and id \"3\" are tracked apart";

  client->writeLine(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
  Json list = call(*client, request(4, "tools/list"));
  EXPECT_EQ(list["id"], 4) << "the notification got no output and the next call relaunched the app";
  EXPECT_EQ(list["result"]["tools"].size(), 14u);
  EXPECT_TRUE(AgentSocket::owner(socket));
}

TEST_F(RelayEndToEnd, RelayWithNoAppStartsOneItself) {
  auto client = relay();
  EXPECT_EQ(call(*client, request(1, "ping"))["result"], Json::object());
  EXPECT_TRUE(AgentSocket::owner(socket));
  client->closeInput();
  EXPECT_EQ(client->wait(), 0);
}

TEST_F(RelayEndToEnd, RelayThatCannotStartTheAppSaysSo) {
  // A directory that does not exist: no app can listen there.
  ChildProcess client(tarnwickExecutable(), {"mcp"},
                      {{"TARNWICK_SOCKET", directory.file("missing/agent.sock")}, {"TARNWICK_LOG", ""}});
  EXPECT_EQ(client.wait(std::chrono::seconds(30)), 1);
  EXPECT_EQ(client.readAllErrors(), "Tarnwick is not running and could not be started.\n");
}

TEST_F(RelayEndToEnd, InteractiveStartShowsHowToConnectAndOtherWordsServeSilently) {
  ChildProcess interactive(tarnwickExecutable(), {}, environment);
  auto first = interactive.readLine();
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, "Tarnwick is running. Agents connect through the socket " + socket + ".");
  bool sawCommand = false;
  while (auto line = interactive.readLine(std::chrono::milliseconds(500))) {
    sawCommand = sawCommand || line->ends_with("tarnwick mcp");
  }
  EXPECT_TRUE(sawCommand);

  auto elsewhere = environment;
  elsewhere["HOME"] = directory.file("home");  // setup connects the clients of this home: none
  ChildProcess second(tarnwickExecutable(), {"setup"}, elsewhere);
  EXPECT_EQ(second.wait(), 1);
  std::string errors = second.readAllErrors();
  EXPECT_NE(errors.find("Tarnwick is already running\n\nAnother copy is running."), std::string::npos) << errors;
  interactive.signal(SIGTERM);
  EXPECT_EQ(interactive.wait(), 0);

  ChildProcess quiet(tarnwickExecutable(), {"anything"}, environment);
  ASSERT_TRUE(waitForSocket(socket));
  EXPECT_EQ(quiet.readLine(std::chrono::milliseconds(300)), std::nullopt);
}

TEST_F(RelayEndToEnd, ListsAndLaunchesAppsOfTheSimulatedDesktop) {
  ChildProcess app(tarnwickExecutable(), {"serve"},
                   {{"TARNWICK_SOCKET", socket}, {"TARNWICK_PLATFORM", "sim"}, {"TARNWICK_LOG", ""}});
  ASSERT_TRUE(waitForSocket(socket));
  auto client = relay();
  auto text = [&](int id, const std::string& tool, Json arguments = Json::object()) {
    Json answer = call(*client, toolCall(id, tool, std::move(arguments)));
    EXPECT_FALSE(answer["result"].contains("isError")) << answer.dump();
    return answer["result"]["content"][0]["text"].get<std::string>();
  };
  std::string before = text(1, "list_apps");
  EXPECT_NE(before.find("- Settings (org.tarnwick.demo.Settings, pid "), std::string::npos) << before;
  EXPECT_NE(before.find("[frontmost: the user is working here]"), std::string::npos);
  EXPECT_EQ(before.find("Calculator"), std::string::npos);

  std::string launched = text(2, "launch_app", {{"app", "Calculator"}});
  EXPECT_TRUE(launched.starts_with("Calculator is running (pid ")) << launched;
  EXPECT_TRUE(launched.ends_with("with 1 visible window(s). Call get_app_state next.")) << launched;
  EXPECT_NE(text(3, "list_apps").find(": \"Calculator\" 320x420"), std::string::npos);
}

TEST_F(RelayEndToEnd, ReadsAnAppStateWithAScreenshotOfTheStatedSize) {
  ChildProcess app(tarnwickExecutable(), {"serve"},
                   {{"TARNWICK_SOCKET", socket}, {"TARNWICK_PLATFORM", "sim"}, {"TARNWICK_LOG", ""}});
  ASSERT_TRUE(waitForSocket(socket));
  auto client = relay();
  Json answer = call(*client, toolCall(1, "get_app_state", {{"app", "settings"}}));
  const Json& content = answer["result"]["content"];
  ASSERT_EQ(content.size(), 2u) << answer.dump();
  const std::string text = content[0]["text"];
  EXPECT_TRUE(text.starts_with("App: Settings (org.tarnwick.demo.Settings, pid ")) << text;
  EXPECT_NE(text.find("Screenshot 640x520 px; x/y in tools are pixels of this screenshot."), std::string::npos);
  EXPECT_NE(text.find("check box \"Show hidden files\" value=\"0\" @30,90 200x22"), std::string::npos) << text;
  EXPECT_EQ(content[1]["type"], "image");
  EXPECT_EQ(content[1]["mimeType"], "image/jpeg");
  auto image = decodeJPEG(Base64::decode(content[1]["data"].get<std::string>()));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 640);
  EXPECT_EQ(image->height, 520);
}

TEST(ProcessModes, VersionPrintsExactlyTheVersion) {
  ChildProcess version(tarnwickExecutable(), {"--version"});
  EXPECT_EQ(version.readLine(), "1.0.0");
  EXPECT_EQ(version.readLine(std::chrono::seconds(5)), std::nullopt);
  EXPECT_EQ(version.wait(), 0);
}

TEST_F(RelayEndToEnd, IdsComeBackExactlyAsWritten) {
  auto app = serve();
  auto client = relay();
  for (const std::string id : {"123456789012345678901234567890", "-0", "1.50", "1e400", "\"\\u00e9\"", "[1, {\"a\": 2}]"}) {
    ASSERT_TRUE(client->writeLine("{\"jsonrpc\": \"2.0\", \"id\": " + id + ", \"method\": \"ping\"}"));
    auto line = client->readLine();
    ASSERT_TRUE(line) << id;
    EXPECT_TRUE(line->starts_with("{\"id\":" + id + ",")) << *line;
  }
}

TEST_F(RelayEndToEnd, ALineTooLongToReadIsAnsweredForItsIdOrAsAParseError) {
  auto app = serve();
  auto client = relay();
  const std::string huge(LineReader::defaultMaxLine, 'x');
  ASSERT_TRUE(client->writeLine("{\"jsonrpc\": \"2.0\", \"id\": 77, \"method\": \"tools/call\", \"params\": {\"text\": \"" +
                                huge + "\"}}"));
  auto line = client->readLine();
  ASSERT_TRUE(line);
  EXPECT_EQ(*line,
            "{\"id\":77,\"error\":{\"code\":-32600,\"message\":\"The message is longer than 64 MiB, the most Tarnwick "
            "reads; it was not read.\"},\"jsonrpc\":\"2.0\"}");
  ASSERT_TRUE(client->writeLine("{\"params\": {\"text\": \"" + huge + "\"}, \"id\": 78}"));
  line = client->readLine();
  ASSERT_TRUE(line);
  EXPECT_TRUE(line->starts_with("{\"id\":null,\"error\":{\"code\":-32700,")) << *line;
  EXPECT_EQ(call(*client, request(79, "ping"))["id"], 79) << "the session goes on";
}

TEST_F(RelayEndToEnd, ManyCallsInFlightAreAllAnswered) {
  auto app = serve();
  auto client = relay();
  constexpr int calls = 1000;
  // Large answers while requests keep coming: neither side may wait for the other.
  std::thread writer([&] {
    for (int id = 0; id < calls; ++id) client->writeLine(JsonText::compact(request(id, "tools/list")));
  });
  std::set<int> answered;
  for (int i = 0; i < calls; ++i) {
    auto line = client->readLine(std::chrono::seconds(30));
    if (!line) break;
    answered.insert(Json::parse(*line)["id"].get<int>());
  }
  writer.join();
  EXPECT_EQ(answered.size(), size_t(calls));
}
