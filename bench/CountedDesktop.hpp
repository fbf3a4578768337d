#pragma once
// The real desktop for the input benchmarks, with a clock that counts the waits asked for.
#include <cstdio>
#include <memory>

#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "platform/x11/X11Desktop.hpp"

// The machine's clock, adding up the seconds every wait asked for.
class CountingClock : public Clock {
 public:
  double now() override { return system_.now(); }
  void sleep(double seconds) override {
    if (seconds > 0) slept += seconds;
    system_.sleep(seconds);
  }
  double slept = 0;

 private:
  SystemClock system_;
};

// The real desktop with a clock that counts waits.
class CountedDesktop : public Desktop {
 public:
  explicit CountedDesktop(std::shared_ptr<X11Desktop> real) : real_(std::move(real)) {}
  // Opens the X desktop at $DISPLAY and installs it; none, with a message, without one.
  static std::shared_ptr<CountedDesktop> install() {
    auto real = X11Desktop::open();
    if (!real) {
      std::fprintf(stderr, "no X server at $DISPLAY; run this through scripts/desktop-session\n");
      return nullptr;
    }
    auto desktop = std::make_shared<CountedDesktop>(real);
    Platform::install(desktop);
    WindowList::useHelper(nullptr);
    return desktop;
  }
  const std::shared_ptr<X11Desktop>& real() const { return real_; }
  std::string name() const override { return real_->name(); }
  Accessibility& accessibility() override { return real_->accessibility(); }
  WindowServer& windowServer() override { return real_->windowServer(); }
  Workspace& workspace() override { return real_->workspace(); }
  Clock& clock() override { return clock_; }
  ScreenCapture& capture() override { return real_->capture(); }
  KeyboardLayouts* keyboardLayouts() override { return real_->keyboardLayouts(); }
  AgentInput* input() override { return real_->input(); }
  CountingClock clock_;

 private:
  std::shared_ptr<X11Desktop> real_;
};

