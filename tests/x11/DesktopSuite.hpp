#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "kit/perception/RunningApp.hpp"
#include "tests/support/Eventually.hpp"

// A test suite on the real desktop: it opens the X desktop and installs it as the platform
// for the suite's tests, and uninstalls it afterwards.
class DesktopSuite : public ::testing::Test {
 protected:
  static void openDesktop() {
    desktop_ = X11Desktop::open();
    ASSERT_TRUE(desktop_) << "no X server at $DISPLAY; run the tests through scripts/desktop-session";
    Platform::install(desktop_);
    WindowList::useHelper(nullptr);  // the test binary is not a tarnwick executable
  }
  static void closeDesktop() {
    Platform::install(nullptr);
    desktop_.reset();
  }
  // The first running app whose executable ends with the name.
  static std::optional<pid_t> runningApp(const std::string& executable) {
    for (const auto& app : desktop_->workspace().runningApplications())
      if (app.executable.ends_with(executable)) return app.pid;
    return std::nullopt;
  }
  // Asks the app to quit and waits until it is gone (10 s at most): a single-instance app
  // started again meanwhile would hand over to the quitting one and exit.
  static void quitAndAwait(const std::string& executable) {
    if (auto pid = runningApp(executable)) desktop_->workspace().requestQuit(*pid);
    eventually([&] { return !runningApp(executable); }, std::chrono::seconds(10));
  }

  static inline std::shared_ptr<X11Desktop> desktop_;
};

// A suite whose tests each start one app, which is quit after each test.
class LaunchedAppSuite : public DesktopSuite {
 protected:
  static void SetUpTestSuite() { openDesktop(); }
  static void TearDownTestSuite() { closeDesktop(); }
  void TearDown() override {
    if (auto app = running()) desktop_->workspace().requestQuit(app->pid);
    eventually([this] { return !running(); }, std::chrono::seconds(5));
  }
  // The app the tests start, while it runs.
  virtual std::optional<RunningApp> running() = 0;
};
