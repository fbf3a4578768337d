#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "kit/bridge/WebBridge.hpp"
#include "kit/bridge/WebBridgeSecret.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Eventually.hpp"
#include "tests/support/StandInRelayHost.hpp"
#include "tests/support/TempDirectory.hpp"

namespace {

using Fault = StandInRelayHost::Fault;
using namespace std::chrono_literals;

Json request(int id, const std::string& method, Json params = Json::object()) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
}

std::vector<Json> idsOf(const std::vector<Json>& replies) {
  std::vector<Json> ids;
  for (const auto& reply : replies) ids.push_back(reply["message"].value("id", Json()));
  return ids;
}

// A bridge in this process between the stand-in relay service and a resident app on
// the simulated desktop, with its clock, sleep and notifications in the test's hands.
class WebBridgeRelay : public ::testing::Test {
 protected:
  TempDirectory directory;
  StandInRelayHost host;
  const std::string socket = directory.file("agent.sock");
  std::unique_ptr<ChildProcess> app;
  std::shared_ptr<WebBridge> bridge;
  // What the bridge's callbacks touch; shared with them, since its threads may outlive the test.
  struct Shared {
    std::atomic<int> changes{0};
    std::mutex lock;  // guards now and sleeps
    Date now = InternetDate::parse("2026-12-06T09:00:00Z").value();
    std::vector<double> sleeps;
  };
  std::shared_ptr<Shared> shared = std::make_shared<Shared>();

  void TearDown() override {
    if (bridge) bridge->stop();
  }

  void serve() {
    app = std::make_unique<ChildProcess>(
        tarnwickExecutable(), std::vector<std::string>{"serve"},
        std::map<std::string, std::string>{{"TARNWICK_SOCKET", socket},
                                           {"TARNWICK_PLATFORM", "sim"},
                                           {"XDG_STATE_HOME", directory.file("app-state")},
                                           {"XDG_CONFIG_HOME", directory.file("app-config")},
                                           {"TARNWICK_LOG", ""}});
    ASSERT_TRUE(waitForSocket(socket));
  }

  void startBridge(const std::string& socketPath) {
    WebBridge::Options options;
    options.origin = host.origin();
    options.secretDirectory = directory.file("state");
    options.socketPath = socketPath;
    options.settings = SettingsFile(directory.file("settings.json"));
    options.now = [shared = shared] {
      std::lock_guard guard(shared->lock);
      return shared->now;
    };
    options.sleep = [shared = shared](double seconds) {
      std::lock_guard guard(shared->lock);
      shared->sleeps.push_back(seconds);
    };
    options.postOnMain = [shared = shared](std::function<void()> work) {
      ++shared->changes;
      work();
    };
    options.timeouts.poll = 1;  // so that a slow answer runs past it
    bridge = WebBridge::make(options);
    bridge->start();
  }

  void setNow(Date date) {
    std::lock_guard guard(shared->lock);
    shared->now = date;
  }

  std::vector<double> recordedSleeps() {
    std::lock_guard guard(shared->lock);
    return shared->sleeps;
  }
};

}  // namespace

TEST_F(WebBridgeRelay, ABrowserSessionIsRelayedThroughTheAppInOrderAndClosed) {
  serve();
  startBridge(socket);
  host.send("s1", request(1, "initialize", {{"protocolVersion", "2025-03-26"}, {"clientInfo", {{"name", "claude.ai"}}}}));
  host.send("s1", {{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}});
  host.send("s1", request(2, "tools/list"));
  host.send("s1", request(3, "tools/call", {{"name", "list_apps"}, {"arguments", Json::object()}}));

  auto replies = host.waitForReplies(3);
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(idsOf(replies), (std::vector<Json>{1, 2, 3})) << "the notification gets no reply";
  for (const auto& reply : replies) EXPECT_EQ(reply["session"], "s1");
  EXPECT_EQ(replies[0]["message"]["result"]["serverInfo"]["name"], "tarnwick");
  EXPECT_EQ(replies[1]["message"]["result"]["tools"].size(), 14u);
  EXPECT_NE(replies[2]["message"]["result"]["content"][0]["text"].get<std::string>().find("Text Editor"),
            std::string::npos);
  EXPECT_TRUE(bridge->hasActiveSession());

  const Json poll = host.calls("api/bridge/poll").front();
  EXPECT_EQ(poll["secret"], WebBridgeSecret::secret(directory.file("state")));
  EXPECT_EQ(poll["deviceId"], WebBridgeSecret::deviceID(directory.file("state")));
  EXPECT_EQ(replies[0]["secret"], poll["secret"]);

  const int before = shared->changes;
  host.close("s1");
  EXPECT_TRUE(eventually([&] { return !bridge->hasActiveSession(); }));
  EXPECT_GT(shared->changes.load(), before) << "closing a session is a change";
  EXPECT_TRUE(recordedSleeps().empty());
}

TEST_F(WebBridgeRelay, FaultsOfTheServiceBackOffAndLoseNothingAfterwards) {
  serve();
  host.failPolls({Fault::status500, Fault::notJSON, Fault::slow, Fault::drop, Fault::status500, Fault::status500,
                  Fault::status500});
  startBridge(socket);
  ASSERT_TRUE(eventually([&] { return recordedSleeps().size() == 7; }));
  EXPECT_EQ(recordedSleeps(), (std::vector<double>{2, 4, 8, 16, 32, 60, 60}));

  host.send("s1", request(1, "ping"));
  host.send("s2", request(1, "ping"));
  auto replies = host.waitForReplies(2);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0]["message"]["result"], Json::object());
  EXPECT_EQ(recordedSleeps().size(), 7u) << "a good poll resets the failure count";
  EXPECT_TRUE(bridge->isRunning());
}

TEST_F(WebBridgeRelay, ARefusedSecretStopsPollingUntilANewCodeIsRequested) {
  host.failPolls({Fault::status403});
  startBridge(socket);
  ASSERT_TRUE(eventually([&] { return bridge->needsSetup(); }));
  EXPECT_FALSE(bridge->isRunning());
  const size_t polls = host.pollCount();
  bridge->start();
  EXPECT_FALSE(bridge->isRunning()) << "start does nothing while the secret is refused";
  EXPECT_FALSE(host.waitForPolls(1, 300ms));
  EXPECT_EQ(host.pollCount(), polls);

  auto code = bridge->requestCode();
  EXPECT_EQ(code.code, "K7Q-2MX");
  EXPECT_EQ(code.expiresAt, *InternetDate::parse("2030-01-01T10:00:00Z"));
  EXPECT_FALSE(bridge->needsSetup());
  bridge->start();
  EXPECT_TRUE(host.waitForPolls(1));
}

TEST_F(WebBridgeRelay, RepliesAreTriedThreeTimesThenLostInOrder) {
  serve();
  startBridge(socket);
  host.failReplies({Fault::status500, Fault::drop});
  host.send("s1", request(1, "ping"));
  ASSERT_EQ(host.waitForReplies(1).size(), 1u);
  EXPECT_EQ(recordedSleeps(), (std::vector<double>{1, 2}));

  host.failReplies({Fault::status500, Fault::notJSON, Fault::status500});
  host.send("s1", request(2, "ping"));
  host.send("s1", request(3, "ping"));
  auto replies = host.waitForReplies(2);
  EXPECT_EQ(idsOf(replies), (std::vector<Json>{1, 3})) << "the second reply is lost, the third still sent";
  EXPECT_EQ(recordedSleeps(), (std::vector<double>{1, 2, 1, 2}));
  EXPECT_EQ(host.calls("api/bridge/reply").size(), 7u) << "three tries, three tries, one";
}

TEST_F(WebBridgeRelay, WithoutTheAppOnlyRequestsAreRefusedOnce) {
  startBridge(directory.file("nobody.sock"));
  host.send("s1", {{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}});
  host.send("s1", request(7, "tools/list"));
  host.send("s2", request(8, "ping"));
  auto replies = host.waitForReplies(2);
  ASSERT_EQ(replies.size(), 2u);
  std::set<Json> ids{replies[0]["message"]["id"], replies[1]["message"]["id"]};
  EXPECT_EQ(ids, (std::set<Json>{7, 8}));
  EXPECT_EQ(replies[0]["message"]["error"],
            Json({{"code", -32000}, {"message", "Tarnwick could not take this request on the computer. Try again."}}));
  EXPECT_TRUE(host.waitForPolls(2));
  EXPECT_EQ(host.waitForReplies(3, 100ms).size(), 2u) << "the notification got no answer";
  EXPECT_FALSE(bridge->hasActiveSession());
}

TEST_F(WebBridgeRelay, ASessionIdleFor1800SecondsIsShutDown) {
  serve();
  startBridge(socket);
  const Date start = InternetDate::parse("2026-12-06T09:00:00Z").value();
  host.send("s1", request(1, "ping"));
  ASSERT_EQ(host.waitForReplies(1).size(), 1u);

  setNow(start + 1799s + 999ms);
  ASSERT_TRUE(host.waitForPolls(2));
  EXPECT_TRUE(bridge->hasActiveSession());

  setNow(start + 1800s);
  EXPECT_TRUE(eventually([&] { return !bridge->hasActiveSession(); }));
}

TEST_F(WebBridgeRelay, ConnectionsFollowThePollsAndRevokingAllEmptiesThemAtOnce) {
  host.setConnections(Json::parse(R"([
      {"id": "c1", "client": "Claude", "createdAt": "2026-12-01T08:00:00Z", "lastUsedAt": "2026-12-05T08:00:00Z"},
      {"id": "c2", "createdAt": "2026-12-02T08:00:00Z"},
      {"id": "c3", "client": "ChatGPT", "createdAt": "2026-12-03T08:00:00Z"}])"));
  startBridge(socket);
  ASSERT_TRUE(eventually([&] { return bridge->connections().size() == 3; }));
  EXPECT_EQ(bridge->connections()[1].client, "");

  bridge->revoke("c2");
  auto left = bridge->connections();
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[1].id, "c3");

  bridge->stop();  // no poll can refill the list from here on
  bridge->start();
  ASSERT_TRUE(eventually([&] { return bridge->connections().size() == 2; }));
  const int before = shared->changes;
  bridge->revoke("all");
  EXPECT_TRUE(bridge->connections().empty());
  EXPECT_GT(shared->changes.load(), before);
  auto revokes = host.calls("api/bridge/revoke");
  ASSERT_EQ(revokes.size(), 2u);
  EXPECT_EQ(revokes[0]["connection"], "c2");
  EXPECT_EQ(revokes[1]["connection"], "all");
  EXPECT_EQ(revokes[1]["secret"].get<std::string>().size(), 64u);
}

TEST_F(WebBridgeRelay, StoppingClosesEverySessionAndCutsALongPollShort) {
  serve();
  host.pollHoldSeconds = 30;
  startBridge(socket);
  host.send("s1", request(1, "ping"));
  ASSERT_EQ(host.waitForReplies(1).size(), 1u);
  ASSERT_TRUE(host.waitForPolls(1));  // now held open by the service
  bridge->stop();
  EXPECT_FALSE(bridge->isRunning());
  EXPECT_FALSE(bridge->hasActiveSession());
  host.send("s1", request(2, "ping"));
  EXPECT_EQ(host.waitForReplies(2, 300ms).size(), 1u) << "a stopped bridge takes no more messages";
}

TEST_F(WebBridgeRelay, SessionsBeyondTheLimitAreRefusedAndEveryRequestIsAnswered) {
  serve();
  startBridge(socket);
  const size_t sessions = WebBridge::maxSessions + 8;
  for (size_t i = 0; i < sessions; ++i) host.send("s" + std::to_string(i), request(int(i), "ping"));
  auto replies = host.waitForReplies(sessions);
  ASSERT_EQ(replies.size(), sessions);
  size_t refused = 0;
  std::set<Json> ids;
  for (const auto& reply : replies) {
    ids.insert(reply["message"]["id"]);
    refused += reply["message"].contains("error");
  }
  EXPECT_EQ(ids.size(), sessions) << "one answer for each request";
  EXPECT_EQ(refused, 8u);
  EXPECT_EQ(host.waitForReplies(sessions + 1, 200ms).size(), sessions) << "and no more";
}
