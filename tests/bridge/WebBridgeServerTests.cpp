#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "kit/bridge/InternetDate.hpp"
#include "kit/bridge/WebBridge.hpp"
#include "kit/bridge/WebBridgeSecret.hpp"
#include "kit/bridge/WebBridgeServer.hpp"
#include "kit/common/Files.hpp"
#include "kit/common/SettingsFile.hpp"
#include "kit/common/ToolError.hpp"
#include "tests/support/TempDirectory.hpp"

namespace {

Date at(const char* text) { return *InternetDate::parse(text); }

}  // namespace

TEST(WebBridgeAnswers, PollItemsAreMessagesOrClosingsAndTheRestIsSkipped) {
  auto answer = WebBridgeServer::parsePollAnswer(Json::parse(R"({"messages": [
      {"session": "a", "message": {"jsonrpc": "2.0", "id": 1, "method": "ping", "params": {"path": "a/b"}}},
      {"session": "b", "closed": true},
      {"session": "c", "closed": false, "message": 5},
      {"session": "d"},
      {"message": {"id": 2}},
      {"session": 7, "message": {}},
      "text"
  ]})"));
  ASSERT_EQ(answer.items.size(), 3u);
  EXPECT_EQ(answer.items[0].session, "a");
  EXPECT_EQ(*answer.items[0].message, R"({"id":1,"jsonrpc":"2.0","method":"ping","params":{"path":"a/b"}})")
      << "re-serialised compactly, slashes not escaped";
  EXPECT_TRUE(answer.items[1].isClosing());
  EXPECT_EQ(*answer.items[2].message, "5") << "closed false with a message is a message";
  EXPECT_TRUE(answer.connections.empty());

  EXPECT_TRUE(WebBridgeServer::parsePollAnswer(Json::parse(R"({"messages": {"session": "a"}})")).items.empty());
  EXPECT_TRUE(WebBridgeServer::parsePollAnswer(Json::object()).items.empty());
}

TEST(WebBridgeAnswers, ConnectionsNeedAnIdAndACreationDate) {
  auto answer = WebBridgeServer::parsePollAnswer(Json::parse(R"({"connections": [
      {"id": "c1", "client": "Claude", "createdAt": "2026-12-01T08:00:00.250Z", "lastUsedAt": "2026-12-05T09:30:00Z"},
      {"id": "c2", "client": 42, "createdAt": "2026-12-02T10:00:00+02:00", "lastUsedAt": "yesterday"},
      {"client": "no id", "createdAt": "2026-12-02T10:00:00Z"},
      {"id": "c4", "createdAt": "soon"}
  ]})"));
  ASSERT_EQ(answer.connections.size(), 2u);
  EXPECT_EQ(answer.connections[0].client, "Claude");
  EXPECT_EQ(answer.connections[0].createdAt, at("2026-12-01T08:00:00.250Z"));
  EXPECT_EQ(answer.connections[0].lastUsedAt, at("2026-12-05T09:30:00.000Z"));
  EXPECT_EQ(answer.connections[1].client, "");
  EXPECT_EQ(answer.connections[1].createdAt, at("2026-12-02T08:00:00Z")) << "the offset is applied";
  EXPECT_EQ(answer.connections[1].lastUsedAt, answer.connections[1].createdAt);
}

TEST(WebBridgeAnswers, DatesReadWithOrWithoutFractionsAndWriteBack) {
  EXPECT_EQ(InternetDate::format(at("2026-12-06T10:15:30.5Z")), "2026-12-06T10:15:30.500Z");
  EXPECT_EQ(InternetDate::format(at("2026-12-06T10:15:30-01:30")), "2026-12-06T11:45:30.000Z");
  for (const char* bad : {"", "2026-12-06", "2026-12-06T10:15:30", "2026-12-06T10:15:30.Z", "2026-13-06T10:15:30Z",
                          "2026-12-06T10:15:30Zjunk", "2026-12-06 10:15:30Z"}) {
    EXPECT_FALSE(InternetDate::parse(bad)) << bad;
  }
}

TEST(WebBridgeAnswers, ACodeNeedsBothKeysAndRefusalsNameTheHost) {
  auto code = WebBridgeServer::parseCode(Json::parse(R"({"code": "K7Q", "expiresAt": "2026-12-06T10:00:00Z"})"),
                                         "relay.example");
  EXPECT_EQ(code.code, "K7Q");
  for (const char* body : {R"({"expiresAt": "2026-12-06T10:00:00Z"})", R"({"code": "K7Q", "expiresAt": "later"})",
                           R"({"code": 1, "expiresAt": "2026-12-06T10:00:00Z"})"}) {
    try {
      WebBridgeServer::parseCode(Json::parse(body), "relay.example");
      ADD_FAILURE() << body;
    } catch (const ToolError& error) {
      EXPECT_EQ(error.description, "relay.example sent no connection code.");
    }
  }
  EXPECT_STREQ(WebBridgeServer::Refusal(500, "relay.example").what(), "relay.example answered 500.");
  EXPECT_EQ(WebBridgeServer("https://relay.example:8443/base/", "d", "s").hostName(), "relay.example");
}

TEST(WebBridgeSecretFile, AValidSecretIsKeptAndAnythingElseReplacedPrivately) {
  TempDirectory directory;
  const std::string path = directory.file(WebBridgeSecret::secretFile);
  const std::string valid(64, 'a');

  ASSERT_TRUE(Files::writeAtomically(path, valid + "\n", 0644));
  EXPECT_EQ(WebBridgeSecret::secret(directory.path()), valid) << "a trailing newline is trimmed";
  EXPECT_EQ(*Files::read(path), valid + "\n") << "an accepted file is not rewritten";

  for (const std::string& bad : {std::string(63, 'a'), std::string(63, 'a') + "g", std::string(65, 'a')}) {
    ASSERT_TRUE(Files::writeAtomically(path, bad, 0644));
    const std::string made = WebBridgeSecret::secret(directory.path());
    EXPECT_EQ(made.size(), 64u);
    EXPECT_EQ(made.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(*Files::read(path), made) << "saved without a newline";
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
  }
  EXPECT_NE(WebBridgeSecret::randomHex(32), WebBridgeSecret::randomHex(32));

  const std::string device = WebBridgeSecret::deviceID(directory.path());
  EXPECT_EQ(WebBridgeSecret::deviceID(directory.path()), device) << "the same on every start";
}

TEST(WebBridgeSecretFile, ADirectoryThatCannotBeMadeIsNamed) {
  TempDirectory directory;
  ASSERT_TRUE(Files::writeAtomically(directory.file("plain"), "x", 0600));
  const std::string unusable = directory.file("plain") + "/state";
  try {
    WebBridgeSecret::secret(unusable);
    ADD_FAILURE();
  } catch (const ToolError& error) {
    EXPECT_EQ(error.description, "Could not save the web connection secret in " + unusable + ".");
  }
}

TEST(WebBridgeSetting, AReadThatFailsKeepsTheLastKnownValue) {
  TempDirectory directory;
  WebBridge::Options options;
  options.settings = SettingsFile(directory.file("settings.json"));
  options.postOnMain = [](std::function<void()>) {};
  auto bridge = WebBridge::make(options);
  EXPECT_FALSE(bridge->isEnabled());
  bridge->setEnabled(true);
  EXPECT_TRUE(bridge->isEnabled());
  // The file cannot be read for a moment (no descriptors left, a file being replaced).
  std::filesystem::rename(directory.file("settings.json"), directory.file("kept.json"));
  std::filesystem::create_directory(directory.file("settings.json"));
  EXPECT_TRUE(bridge->isEnabled()) << "the bridge never switches itself off";
  std::filesystem::remove(directory.file("settings.json"));
  EXPECT_FALSE(bridge->isEnabled()) << "a file that is gone is read: no setting";
}
