#include <gtest/gtest.h>

#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>

#include "app/StackWatch.hpp"
#include "app/StackWatchClient.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempDirectory.hpp"

using StackWatch::Change;
using StackWatch::Report;
using StackWatch::Reporter;
using StackWatch::Subscriptions;

namespace {

std::vector<std::string> words(const std::vector<Report>& reports) {
  std::vector<std::string> lines;
  for (const auto& report : reports) lines.push_back(StackWatch::line(report));
  return lines;
}

}  // namespace

TEST(StackWatchReports, ShownOrHiddenOnceForEachGenerationAndVisibility) {
  Reporter reporter;
  Subscriptions watched{{7, {100, 1}}};
  EXPECT_EQ(words(reporter.look(watched, {7, 100}, 0)), std::vector<std::string>{"7 100 1 shown"});
  EXPECT_TRUE(reporter.look(watched, {7, 100}, 1).empty());
  EXPECT_EQ(words(reporter.look(watched, {7}, 2)), std::vector<std::string>{"7 100 1 hidden"});
  EXPECT_TRUE(reporter.look(watched, {7}, 3).empty());
  watched[7] = {100, 2};  // moved again: told afresh
  EXPECT_EQ(words(reporter.look(watched, {7}, 4)), std::vector<std::string>{"7 100 2 hidden"});
  EXPECT_EQ(words(reporter.look(watched, {100, 7}, 5)), std::vector<std::string>{"7 100 2 shown"});
}

TEST(StackWatchReports, CoveredWhenAnythingButCursorsComesBetweenOrTheCursorFallsBehind) {
  Reporter reporter;
  Subscriptions watched{{7, {100, 1}}, {8, {100, 1}}, {9, {100, 1}}};
  reporter.look(watched, {7, 8, 9, 100}, 0);
  // Cursors between a cursor and its target do not cover it.
  EXPECT_TRUE(reporter.look(watched, {7, 8, 9, 100}, 1).empty());
  // Another window does; so does falling behind the target.
  EXPECT_EQ(words(reporter.look(watched, {7, 50, 8, 9, 100}, 2)), std::vector<std::string>{"7 100 1 covered"});
  EXPECT_EQ(words(reporter.look(watched, {8, 9, 100, 7}, 3)), std::vector<std::string>{"7 100 1 covered"});
  // At most one "covered" per cursor every 30 ms; a cursor not drawn at all is not covered.
  EXPECT_TRUE(reporter.look(watched, {8, 9, 100, 7}, 3.01).empty());
  EXPECT_TRUE(reporter.look(watched, {8, 9, 100}, 3.1).empty());
  // Unwatched cursors are forgotten: watched again, they are told afresh.
  reporter.look({}, {}, 4);
  EXPECT_EQ(words(reporter.look({{7, {100, 1}}}, {7, 100}, 5)), std::vector<std::string>{"7 100 1 shown"});
}

TEST(StackWatchReports, LinesAreReadStrictly) {
  EXPECT_TRUE(StackWatch::parseRequest("1 2 3"));
  EXPECT_TRUE(StackWatch::parseRequest("4294967295 0 18446744073709551615"));
  for (const char* bad : {"1 2", "1 2 3 4", "1  2 3", "-1 2 3", "1 2 x", "4294967296 1 1", "", " 1 2 3"})
    EXPECT_FALSE(StackWatch::parseRequest(bad)) << bad;
  auto report = StackWatch::parseReport("5 6 7 covered");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->change, Change::covered);
  EXPECT_FALSE(StackWatch::parseReport("5 6 7 gone"));
  EXPECT_FALSE(StackWatch::parseReport("alive"));
}

TEST(StackWatchHelper, BeatsWhileItRunsAndEndsAsItsInputSays) {
  const std::map<std::string, std::string> sim{{"TARNWICK_PLATFORM", "sim"}};
  {
    ChildProcess helper(TARNWICK_EXECUTABLE, {"stack-watch"}, sim);
    EXPECT_EQ(helper.readLine(), "alive");
    helper.closeInput();
    EXPECT_EQ(helper.wait(), 0);
  }
  {
    ChildProcess helper(TARNWICK_EXECUTABLE, {"stack-watch"}, sim);
    helper.writeLine("12 34");
    EXPECT_EQ(helper.wait(), 2);
  }
}

namespace {

// A client whose reports are collected as they arrive on its queue.
struct Watching {
  std::mutex lock;  // guards seen
  std::condition_variable arrived;
  std::vector<std::pair<WindowNumber, Change>> seen;
  TimedQueue queue;
  std::unique_ptr<StackWatchClient> client;

  explicit Watching(std::string helper) {
    queue.sync([&] {
      client = std::make_unique<StackWatchClient>(queue, helper, [this](WindowNumber window, Change change) {
        std::lock_guard guard(lock);
        seen.emplace_back(window, change);
        arrived.notify_all();
      });
    });
  }
  ~Watching() {
    queue.sync([&] { client.reset(); });
  }
  void watch(WindowNumber cursor, WindowNumber target) {
    queue.sync([&] { client->watch(cursor, target); });
  }
  bool running() {
    bool result = false;
    queue.sync([&] { result = client->helperRunning(); });
    return result;
  }
  bool waitFor(std::pair<WindowNumber, Change> wanted, std::chrono::seconds limit = std::chrono::seconds(10)) {
    std::unique_lock guard(lock);
    return arrived.wait_for(guard, limit, [&] { return std::find(seen.begin(), seen.end(), wanted) != seen.end(); });
  }
};

// A helper played by a script: what it prints, the client must take or leave.
std::string scriptedHelper(const TempDirectory& folder, const std::string& body) {
  const std::string path = folder.path() + "/helper";
  std::ofstream(path) << "#!/bin/sh\n" << body;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

}  // namespace

TEST(StackWatchClient, TakesOnlyReportsOfTheCurrentSubscription) {
  TempDirectory folder;
  // Waits for both requests, then reports the first generation (stale) and the second.
  Watching watching(scriptedHelper(folder, R"(read a; read b
echo alive; echo "7 100 1 covered"; echo "7 100 2 shown"
while true; do echo alive; sleep 0.2; done
)"));
  watching.watch(7, 100);
  watching.watch(7, 100);
  EXPECT_TRUE(watching.waitFor({7, Change::shown}));
  std::lock_guard guard(watching.lock);
  EXPECT_EQ(watching.seen, (std::vector<std::pair<WindowNumber, Change>>{{7, Change::shown}}));
}

TEST(StackWatchClient, AHelperThatFallsSilentHidesEveryCursor) {
  TempDirectory folder;
  Watching watching(scriptedHelper(folder, "echo alive; exec sleep 30\n"));
  watching.watch(7, 100);
  watching.watch(8, 200);
  EXPECT_TRUE(watching.waitFor({7, Change::hidden}));
  EXPECT_TRUE(watching.waitFor({8, Change::hidden}));
  EXPECT_FALSE(watching.running());
  // The next watch starts a new helper.
  watching.watch(8, 200);
  EXPECT_TRUE(watching.running());
}

TEST(StackWatchClient, TheLastUnwatchStopsTheHelperAndAHelperThatCannotStartHidesTheCursor) {
  TempDirectory folder;
  Watching watching(scriptedHelper(folder, "while true; do echo alive; sleep 0.2; done\n"));
  watching.watch(7, 100);
  EXPECT_TRUE(watching.running());
  watching.watch(7, 0);
  EXPECT_FALSE(watching.running());

  Watching broken(folder.path() + "/missing");
  broken.watch(9, 100);
  EXPECT_TRUE(broken.waitFor({9, Change::hidden}));
}
