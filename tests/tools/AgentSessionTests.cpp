#include <gtest/gtest.h>

#include "kit/tools/AgentSession.hpp"

namespace {

SnapshotRef snapshotOf(pid_t pid, WindowNumber window, std::initializer_list<int64_t> indexes) {
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->window.pid = pid;
  snapshot->window.id = window;
  for (auto index : indexes) snapshot->byIndex[index] = ElementRecord{.role = "AXButton " + std::to_string(window)};
  return snapshot;
}

}  // namespace

TEST(AgentSessionIdentity, NameAndKindFollowTheClientAndWorkingDirectory) {
  struct Case {
    std::string client;
    std::optional<std::string> cwd;
    std::string name;
    AgentSession::Kind kind;
  };
  for (const auto& c : std::vector<Case>{
           {"claude-code", "/Users/ann/shop", "Claude \u00B7 shop", AgentSession::Kind::claude},
           {"Claude Desktop", std::nullopt, "Claude", AgentSession::Kind::claude},
           {"OpenAI Codex", "/", "Codex", AgentSession::Kind::codex},
           {"Cursor", std::nullopt, "Cursor", AgentSession::Kind::other},
           {"", "/", "Agent", AgentSession::Kind::other},
           {"", "", "Agent", AgentSession::Kind::other},
           {"", "/srv/site/", "Agent \u00B7 site", AgentSession::Kind::other},
       }) {
    AgentSession session(3, c.client, c.cwd);
    EXPECT_EQ(session.name, c.name) << c.client;
    EXPECT_EQ(session.kind, c.kind) << c.client;
  }
}

TEST(AgentSessionMemory, KeepsTwelveRecentStatesAndFindsIndexesAmongThem) {
  AgentSession session(1, "", std::nullopt);
  session.remember(snapshotOf(10, 100, {0, 1}));
  for (int64_t i = 0; i < 11; ++i) session.remember(snapshotOf(20, 200, {100 + i}));
  EXPECT_EQ(session.recentSnapshots.size(), 12u);
  EXPECT_TRUE(session.record(0, 10)) << "the oldest state is still among the last twelve";
  session.remember(snapshotOf(20, 200, {500}));
  EXPECT_EQ(session.recentSnapshots.size(), 12u);
  EXPECT_FALSE(session.record(0, 10)) << "the oldest state has dropped out";
  EXPECT_TRUE(session.snapshot(10)) << "the latest state per app stays";
  EXPECT_FALSE(session.record(500, 10)) << "an index of another app is not this app's";
}

TEST(AgentSessionMemory, PrefersTheGivenSnapshotThenTheNewestHolder) {
  AgentSession session(1, "", std::nullopt);
  auto older = snapshotOf(10, 100, {1});
  auto newer = snapshotOf(10, 101, {1});
  session.remember(older);
  session.remember(newer);
  EXPECT_EQ(session.record(1, 10)->role, "AXButton 101");
  EXPECT_EQ(session.record(1, 10, older)->role, "AXButton 100");
  EXPECT_EQ(session.record(1, 10, snapshotOf(10, 102, {9}))->role, "AXButton 101");
}

TEST(AgentSessionMemory, WindowSnapshotsBelongToTheirApp) {
  AgentSession session(1, "", std::nullopt);
  session.remember(snapshotOf(10, 100, {}));
  session.remember(snapshotOf(20, 200, {}));
  EXPECT_TRUE(session.snapshot(10, 100));
  EXPECT_FALSE(session.snapshot(10, 200)) << "window 200 belongs to another app";
  EXPECT_EQ(session.snapshot(20)->window.id, 200u);
  EXPECT_FALSE(session.snapshot(30));
}
