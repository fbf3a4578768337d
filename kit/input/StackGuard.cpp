#include "kit/input/StackGuard.hpp"

#include <unistd.h>

#include <mutex>
#include <thread>

#include "kit/input/FocusGuard.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

struct StackGuard::Watch {
  std::shared_ptr<Desktop> desktop;
  pid_t app = 0;
  std::optional<pid_t> frontApp;
  std::optional<WindowNumber> frontWindow;
  double since = 0;  // desktop clock: user input after it is the user's own
  std::optional<Clock::time_point> finished;
  std::mutex lock;  // guards the baseline (frontApp, frontWindow, since) and finished

  bool userActed() {
    AgentInput* input = desktop->input();
    if (input == nullptr) return false;
    double lastInput = desktop->clock().now() - input->userIdleSinceClick();
    std::lock_guard guard(lock);
    return lastInput > since;
  }
  void rebaseline() {
    auto app = desktop->windowServer().frontProcess();
    auto window = desktop->windowServer().frontWindow();
    std::lock_guard guard(lock);
    frontApp = app;
    frontWindow = window;
    since = desktop->clock().now();
  }
  void restore() {
    std::optional<pid_t> userApp;
    std::optional<WindowNumber> userWindow;
    {
      std::lock_guard guard(lock);
      userApp = frontApp;
      userWindow = frontWindow;
    }
    FocusGuard::restore(*desktop, userWindow, userApp, app);
  }
  std::optional<Clock::time_point> finishedAt() {
    std::lock_guard guard(lock);
    return finished;
  }
  void run() {
    using namespace std::chrono_literals;
    while (true) {
      auto ended = finishedAt();
      if (ended && Clock::now() - *ended >= watchAfter) return;
      if (userActed()) {
        std::this_thread::sleep_for(150ms);
        rebaseline();
        continue;
      }
      restore();
      std::this_thread::sleep_for(ended ? 20ms : 5ms);
    }
  }
};

StackGuard::StackGuard(RunningApp app, std::optional<RunningApp> front, std::vector<WindowInfo>, bool)
    : watch_(std::make_shared<Watch>()) {
  watch_->desktop = Platform::desktopIfAny();
  if (!watch_->desktop || app.pid <= 0) return;
  watch_->app = app.pid;
  watch_->rebaseline();
  if (front) watch_->frontApp = front->pid;  // no thread yet: no lock needed
  if (watch_->frontApp == app.pid) return;   // the user works in the target app itself
  std::thread([watch = watch_] { watch->run(); }).detach();
}

std::vector<WindowInfo> StackGuard::normalWindows() {
  std::vector<WindowInfo> normal;
  if (!Platform::desktopIfAny()) return normal;
  for (const auto& window : Apps::frontToBack()) {
    if (window.layer == 0 && window.isOnScreen && window.pid != getpid() && window.frame.size.width > 40 &&
        window.frame.size.height > 40) {
      normal.push_back(window);
    }
  }
  return normal;
}

void StackGuard::finish(Clock::time_point at) {
  {
    std::lock_guard guard(watch_->lock);
    watch_->finished = at;
  }
  if (watch_->desktop && watch_->app > 0 && !watch_->userActed()) watch_->restore();
}
