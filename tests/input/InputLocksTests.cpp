#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "kit/input/InputLocks.hpp"
#include "tests/support/ScopedEnvironment.hpp"
#include "tests/support/TempDirectory.hpp"

using namespace std::chrono_literals;

TEST(InputLocks, OneAppsGesturesNeverOverlapWhileTwoAppsRunInParallel) {
  TempDirectory folder;
  ScopedEnvironment tmp("TMPDIR", folder.path());
  std::atomic<int> inside{0}, most{0};
  auto gesture = [&](pid_t pid) {
    InputLocks::withLock(pid, [&] {
      most = std::max(most.load(), ++inside);
      std::this_thread::sleep_for(20ms);
      --inside;
    });
  };
  std::thread a(gesture, 101), b(gesture, 101);
  a.join();
  b.join();
  EXPECT_EQ(most, 1) << "one app: one gesture at a time";

  most = 0;
  std::thread c(gesture, 201), d(gesture, 202);
  c.join();
  d.join();
  EXPECT_EQ(most, 2) << "two apps: side by side";
}

TEST(InputLocks, AnotherProcessHoldingTheLockFileIsWaitedFor) {
  TempDirectory folder;
  ScopedEnvironment tmp("TMPDIR", folder.path());
  int other = open(InputLocks::lockFilePath(303).c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  auto start = std::chrono::steady_clock::now();
  std::thread releaser([&] {
    std::this_thread::sleep_for(100ms);
    close(other);
  });
  bool ran = false;
  InputLocks::withLock(303, [&] { ran = true; });
  releaser.join();
  EXPECT_TRUE(ran);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);
}

TEST(InputLocks, WithoutAWritableTemporaryFolderInputStillWorks) {
  ScopedEnvironment tmp("TMPDIR", "/nonexistent/tarnwick");
  bool ran = false;
  InputLocks::withLocks({7, 3, 7}, [&] { ran = true; });
  EXPECT_TRUE(ran);
}
