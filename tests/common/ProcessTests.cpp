#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <string>

#include "kit/common/Process.hpp"

namespace {

// A field of /proc/<pid>/status, such as "SigBlk".
std::string statusField(pid_t pid, const std::string& name) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(name + ":")) return line.substr(line.find_first_not_of(" \t", name.size() + 1));
  }
  return "";
}

}  // namespace

TEST(StartedPrograms, HaveNoBlockedOrIgnoredSignalsOfTheirStarter) {
  // The resident app blocks its quit signals and ignores SIGPIPE; what it starts must not inherit that.
  sigset_t quit, before;
  sigemptyset(&quit);
  sigaddset(&quit, SIGTERM);
  sigaddset(&quit, SIGINT);
  pthread_sigmask(SIG_BLOCK, &quit, &before);
  auto previousPipe = signal(SIGPIPE, SIG_IGN);
  auto started = Process::spawnDetached("sleep", {"30"});
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  signal(SIGPIPE, previousPipe);

  ASSERT_TRUE(started.pid) << started.error;
  EXPECT_EQ(statusField(*started.pid, "SigBlk"), "0000000000000000");
  EXPECT_EQ(statusField(*started.pid, "SigIgn"), "0000000000000000");
  EXPECT_EQ(kill(*started.pid, SIGTERM), 0);
}

TEST(StartedPrograms, AProgramThatCannotStartSaysWhy) {
  auto started = Process::start({.executable = "/nonexistent/program"});
  EXPECT_FALSE(started.pid);
  EXPECT_EQ(started.error, ENOENT);
  // The grandchild's errno may be ready before its pid; neither is taken for the other.
  for (int attempt = 0; attempt < 40; ++attempt) {
    started = Process::spawnDetached("/nonexistent/program", {});
    EXPECT_FALSE(started.pid);
    ASSERT_EQ(started.error, ENOENT) << "attempt " << attempt;
  }
}
