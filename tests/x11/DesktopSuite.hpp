#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "platform/x11/X11Desktop.hpp"

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

  static inline std::shared_ptr<X11Desktop> desktop_;
};
