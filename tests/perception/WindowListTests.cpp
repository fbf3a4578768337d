#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "kit/perception/WindowList.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/SimScene.hpp"
#include "tests/support/TempDirectory.hpp"

namespace {

// A stand-in helper that misbehaves on purpose; it notes each start in a file.
class FakeHelper {
 public:
  explicit FakeHelper(const std::string& body) {
    std::ofstream(script()) << "#!/bin/sh\necho started >> " << starts() << "\n" << body << "\n";
    chmod(script().c_str(), 0755);
  }
  std::string script() const { return directory_.file("helper"); }
  int startCount() const {
    std::ifstream file(starts());
    int count = 0;
    for (std::string line; std::getline(file, line);) ++count;
    return count;
  }

 private:
  std::string starts() const { return directory_.file("starts"); }
  TempDirectory directory_;
};

}  // namespace

TEST(WindowListHelper, ServesTheDesktopsWindowListThroughThePipe) {
  setenv("TARNWICK_PLATFORM", "sim", 1);
  // Generous: the first answer includes the helper's start, slow under the thread sanitizer.
  WindowListTransport transport(tarnwickExecutable(), {"window-list"}, 10.0);
  auto list = transport.copy(0, 0);
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 3u) << "the demo desktop's three windows";
  EXPECT_EQ((*list)[0]["kCGWindowName"], "Example Domain - Chromium");
  EXPECT_TRUE(transport.copy(1, 0)) << "the same helper answers again";
  unsetenv("TARNWICK_PLATFORM");
}

TEST(WindowListHelper, AnswersOutOfRangeAreProtocolErrors) {
  for (const char* length : {"\\000\\000\\000\\000", "\\001\\000\\000\\001"}) {
    FakeHelper helper(std::string("while read line; do printf '") + length + "'; done");
    WindowListTransport transport(helper.script(), {});
    EXPECT_FALSE(transport.copy(0, 0)) << length;
    EXPECT_FALSE(transport.copy(0, 0));
    EXPECT_EQ(helper.startCount(), 1) << "a failed helper is not restarted within a second";
  }
}

TEST(WindowListHelper, AHelperThatNeverAnswersIsRetriedOnlyAfterASecond) {
  FakeHelper helper("read line; exec sleep 30");
  WindowListTransport transport(helper.script(), {});
  EXPECT_FALSE(transport.copy(0, 0));
  EXPECT_FALSE(transport.copy(0, 0));
  EXPECT_EQ(helper.startCount(), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_FALSE(transport.copy(0, 0));
  EXPECT_EQ(helper.startCount(), 2);
}

TEST(WindowListHelper, FailuresFallBackToTheWindowServer) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Editor"});
  scene->addWindow(app, {.title = "Doc"});
  FakeHelper broken("exit 0");
  WindowList::useHelper(std::make_shared<WindowListTransport>(broken.script(), std::vector<std::string>{}));
  Json list = WindowList::copy(0);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["kCGWindowName"], "Doc");
  WindowList::useHelper(nullptr);
}

TEST(WindowListHelper, ExitsWithTwoOnAMalformedRequestAndZeroAtEndOfInput) {
  ChildProcess malformed(tarnwickExecutable(), {"window-list"}, {{"TARNWICK_PLATFORM", "sim"}});
  malformed.writeLine("1 2 3");
  EXPECT_EQ(malformed.wait(), 2);
  ChildProcess letter(tarnwickExecutable(), {"window-list"}, {{"TARNWICK_PLATFORM", "sim"}});
  letter.writeLine("x 2");
  EXPECT_EQ(letter.wait(), 2);
  ChildProcess closed(tarnwickExecutable(), {"window-list"}, {{"TARNWICK_PLATFORM", "sim"}});
  closed.closeInput();
  EXPECT_EQ(closed.wait(), 0);
}
