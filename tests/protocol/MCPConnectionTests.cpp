#include <gtest/gtest.h>

#include "kit/protocol/ServerInstructions.hpp"
#include "tests/support/SessionPipe.hpp"

namespace {

Json request(Json id, const std::string& method, Json params = nullptr) {
  Json message{{"jsonrpc", "2.0"}, {"id", std::move(id)}, {"method", method}};
  if (!params.is_null()) message["params"] = std::move(params);
  return message;
}

constexpr int quietMilliseconds = 300;

}  // namespace

TEST(MCPConnectionFraming, HandlesSplitReadsTwoMessagesInOneReadAndSkipsEmptyLines) {
  SessionPipe pipe;
  std::string ping = JsonText::compact(request(1, "ping"));
  pipe.sendBytes(ping.substr(0, 10));
  EXPECT_FALSE(pipe.answer(quietMilliseconds)) << "half a message must not be answered";
  pipe.sendBytes(ping.substr(10) + "\n\n\n" + JsonText::compact(request(2, "ping")) + "\n" +
                 JsonText::compact(request(3, "ping")) + "\n");
  for (int id : {1, 2, 3}) {
    auto answer = pipe.answer();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["id"], id);
    EXPECT_EQ((*answer)["result"], Json::object());
    EXPECT_EQ((*answer)["jsonrpc"], "2.0");
  }
}

TEST(MCPConnectionFraming, IgnoresWhatIsNotARequestAndKeepsServing) {
  SessionPipe pipe;
  pipe.sendBytes("not json\n[1,2]\n\"text\"\n{\"id\":5}\n{\"id\":6,\"method\":7}\n\xff\xfe{\n");
  pipe.sendLine({{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}});
  pipe.sendLine({{"jsonrpc", "2.0"}, {"method", "tools/call"}, {"params", {{"name", "list_apps"}}}});
  pipe.sendBytes(std::string(300, '[') + "\n");
  pipe.sendLine(request(7, "ping"));
  auto answer = pipe.answer();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)["id"], 7) << "everything before the ping must have been ignored without an answer";
}

TEST(MCPConnectionFraming, UnterminatedLastMessageIsNeverHandled) {
  SessionPipe pipe;
  pipe.sendBytes(JsonText::compact(request(1, "initialize", {{"clientInfo", {{"name", "claude-code"}}}})));
  EXPECT_EQ(pipe.finish(), nullptr);
}

TEST(MCPConnectionMethods, EchoesEveryKindOfIdUnchanged) {
  SessionPipe pipe;
  for (Json id : {Json(nullptr), Json("abc"), Json(1.5), Json(-3), Json::array({1, "x"})}) {
    pipe.sendLine(request(id, "ping"));
    auto answer = pipe.answer();
    ASSERT_TRUE(answer);
    ASSERT_TRUE(answer->contains("id"));
    EXPECT_EQ((*answer)["id"], id);
  }
}

TEST(MCPConnectionMethods, UnknownMethodWithIdGetsMethodNotFound) {
  SessionPipe pipe;
  pipe.sendLine(request(9, "resources/list"));
  auto answer = pipe.answer();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)["error"]["code"], -32601);
  EXPECT_EQ((*answer)["error"]["message"], "Method not found: resources/list");
  EXPECT_FALSE(answer->contains("result"));
}

TEST(MCPConnectionMethods, InitializeEchoesTheProtocolVersionOrDefaults) {
  SessionPipe pipe;
  pipe.sendLine(request(1, "initialize"));
  auto answer = pipe.answer();
  ASSERT_TRUE(answer);
  const Json& result = (*answer)["result"];
  EXPECT_EQ(result["protocolVersion"], "2025-06-18");
  EXPECT_EQ(result["capabilities"], Json({{"tools", Json::object()}}));
  EXPECT_EQ(result["serverInfo"], Json({{"name", "tarnwick"}, {"version", "1.0.0"}}));
  EXPECT_EQ(result["instructions"], serverInstructions());

  pipe.sendLine(request(2, "initialize", {{"protocolVersion", "2024-11-05"}}));
  answer = pipe.answer();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)["result"]["protocolVersion"], "2024-11-05");
  EXPECT_EQ(pipe.finish()->name, "Agent");
}

TEST(MCPConnectionMethods, InstructionsAreNineParagraphsWithoutTrailingNewline) {
  const std::string& text = serverInstructions();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8);
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.find("(select_menu_item, e.g. \"File > New Window\")"), std::string::npos);
  EXPECT_TRUE(text.ends_with("Ask before sending messages, purchases or other irreversible actions the user did not "
                             "request."));
}

TEST(MCPConnectionMethods, ToolsListServesTheCatalogue) {
  SessionPipe pipe;
  pipe.sendLine(request(1, "tools/list"));
  auto answer = pipe.answer();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)["result"]["tools"].size(), 14u);
}

TEST(MCPConnectionSession, HelloNamesTheSessionAndASecondInitializeKeepsTheFirst) {
  SessionPipe pipe;
  pipe.sendLine({{"tarnwick", {{"cwd", "/home/ann/shop"}}}});
  pipe.sendLine(request(1, "initialize", {{"clientInfo", {{"name", "claude-code"}}}}));
  ASSERT_TRUE(pipe.answer());
  pipe.sendLine({{"tarnwick", {{"cwd", "/elsewhere"}}}});
  pipe.sendLine(request(2, "initialize", {{"clientInfo", {{"name", "Cursor"}}}}));
  ASSERT_TRUE(pipe.answer());
  auto session = pipe.finish();
  ASSERT_TRUE(session);
  EXPECT_EQ(session->name, "Claude \u00B7 shop");
  EXPECT_EQ(session->kind, AgentSession::Kind::claude);
  EXPECT_EQ(session->id, 1);
}

TEST(MCPConnectionSession, ToolCallBeforeInitializeRunsUnderAnUnnamedSession) {
  SessionPipe pipe;
  pipe.sendLine(request(1, "tools/call", {{"name", "no_such_tool"}, {"arguments", {{"app", "x"}}}}));
  auto answer = pipe.answer();
  ASSERT_TRUE(answer);
  const Json& result = (*answer)["result"];
  EXPECT_EQ(result["isError"], true);
  ASSERT_EQ(result["content"].size(), 1u);
  EXPECT_EQ(result["content"][0], Json({{"type", "text"}, {"text", "Unknown tool no_such_tool."}}));
  auto session = pipe.finish();
  ASSERT_TRUE(session);
  EXPECT_EQ(session->name, "Agent");
}

TEST(MCPConnectionSession, ToolCallWithoutIdRunsButIsNotAnswered) {
  SessionPipe pipe;
  pipe.sendLine({{"jsonrpc", "2.0"}, {"method", "tools/call"}, {"params", {{"name", "list_apps"}}}});
  EXPECT_FALSE(pipe.answer(quietMilliseconds));
  EXPECT_TRUE(pipe.finish()) << "the call still ran, so it started a session";
}
