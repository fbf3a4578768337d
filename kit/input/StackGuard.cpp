#include "kit/input/StackGuard.hpp"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "kit/common/Log.hpp"
#include "kit/input/FocusGuard.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

namespace {

using namespace std::chrono_literals;

// The stacking is compared at most this often: reading it costs the window server more
// than asking who is in front.
constexpr auto orderCheckInterval = 50ms;

std::map<WindowNumber, size_t> positions(const std::vector<WindowInfo>& windows) {
  std::map<WindowNumber, size_t> found;
  for (size_t i = 0; i < windows.size(); ++i) found.emplace(windows[i].id, i);
  return found;
}

// The user's windows that a target window now covers although it was behind them (or not
// there) at the baseline, with the user's windows in front of them: raised back-most
// first, they stand in their baseline order again.
std::vector<WindowNumber> userWindowsToRaise(const std::vector<WindowInfo>& baseline,
                                             const std::vector<WindowInfo>& current, pid_t target, pid_t user) {
  const auto before = positions(baseline), now = positions(current);
  auto covered = [&](size_t i) {
    auto shownAt = now.find(baseline[i].id);
    for (size_t j = 0; j < shownAt->second; ++j) {
      if (current[j].pid != target) continue;
      auto was = before.find(current[j].id);
      if (was == before.end() || was->second > i) return true;
    }
    return false;
  };
  std::vector<WindowNumber> raised;
  for (size_t i = baseline.size(); i-- > 0;) {
    if (baseline[i].pid != user || !now.contains(baseline[i].id)) continue;
    if (!raised.empty() || covered(i)) raised.push_back(baseline[i].id);
  }
  return raised;
}

void raise(pid_t owner, const std::vector<WindowNumber>& windows) {
  auto elements = AX::attribute<std::vector<AXElement>>(AX::application(owner), "AXWindows").value_or(
      std::vector<AXElement>{});
  for (WindowNumber number : windows) {
    for (const auto& element : elements) {
      if (AX::windowID(element) != number) continue;
      Log::info("StackGuard", "raising the user's window " + std::to_string(number) + " again");
      AX::perform(element, "AXRaise");
      break;
    }
  }
}

// Watchdogs still running when the process exits are stopped and awaited first: the last
// one to end would otherwise destroy the desktop while static destruction tears down what
// the desktop needs.
struct Watchdogs {
  std::mutex lock;  // guards running and exiting; taken on its own
  std::condition_variable ended;
  int running = 0;
  bool exiting = false;
};

Watchdogs& watchdogs() {
  static auto* instance = new Watchdogs;  // never destroyed: watchdogs use it during exit
  return *instance;
}

bool exiting() {
  std::lock_guard guard(watchdogs().lock);
  return watchdogs().exiting;
}

void stopWatchdogs() {
  auto& all = watchdogs();
  std::unique_lock guard(all.lock);
  all.exiting = true;
  all.ended.wait_for(guard, 1s, [&] { return all.running == 0; });
}

}  // namespace

struct StackGuard::Watch {
  std::shared_ptr<Desktop> desktop;
  pid_t app = 0;
  std::mutex lock;  // guards the baseline (frontApp, frontWindow, order, since) and finished
  std::optional<pid_t> frontApp;
  std::optional<WindowNumber> frontWindow;
  std::vector<WindowInfo> order;
  double since = 0;  // desktop clock: user input after it is the user's own
  std::optional<Clock::time_point> finished;
  // Only the watchdog thread touches these.
  std::vector<WindowNumber> lastDrawn;
  Clock::time_point lastOrderCheck;

  struct Front {
    std::optional<pid_t> app;
    std::optional<WindowNumber> window;
  };
  Front front() {
    std::lock_guard guard(lock);
    return {frontApp, frontWindow};
  }

  bool userActed() {
    AgentInput* input = desktop->input();
    if (input == nullptr) return false;
    double lastInput = desktop->clock().now() - input->userIdleSinceClick();
    std::lock_guard guard(lock);
    return lastInput > since;
  }
  // The user clicked or pressed a modifier: what is in front now is theirs.
  void rebaseline() {
    auto app = desktop->windowServer().frontProcess();
    auto window = desktop->windowServer().frontWindow();
    bool otherApp = false;
    {
      std::lock_guard guard(lock);
      otherApp = app != frontApp;
    }
    auto windows = otherApp ? normalWindows() : std::vector<WindowInfo>{};
    std::lock_guard guard(lock);
    if (otherApp) order = std::move(windows);
    frontApp = app;
    frontWindow = window;
    since = desktop->clock().now();
  }
  // The user's acting comes first: after a click or modifier press of theirs the guard
  // waits a moment and takes what is in front then as theirs. True when it did.
  bool followUser() {
    if (!userActed()) return false;
    std::this_thread::sleep_for(150ms);
    rebaseline();
    return true;
  }
  void restoreFront() {
    const Front user = front();
    FocusGuard::restore(*desktop, user.window, user.app, app, [this] { return userActed(); });
  }
  void restore() {
    restoreFront();
    if (auto userApp = front().app; userApp && *userApp != app) restoreOrder(*userApp);
  }
  void restoreOrder(pid_t userApp) {
    const auto now = Clock::now();
    if (now - lastOrderCheck < orderCheckInterval) return;
    lastOrderCheck = now;
    auto drawn = desktop->windowServer().drawingOrder();
    if (drawn == lastDrawn) return;
    lastDrawn = std::move(drawn);
    std::vector<WindowInfo> baseline;
    {
      std::lock_guard guard(lock);
      baseline = order;
    }
    auto toRaise = userWindowsToRaise(baseline, normalWindows(), app, userApp);
    if (!toRaise.empty()) {
      raise(userApp, toRaise);
      lastDrawn.clear();  // look again once the raise has happened
    }
  }
  std::optional<Clock::time_point> finishedAt() {
    std::lock_guard guard(lock);
    return finished;
  }
  bool expired() {
    if (exiting()) return true;
    auto ended = finishedAt();
    return ended && Clock::now() - *ended >= watchAfter;
  }
  void guardOtherApp() {
    while (!expired()) {
      if (followUser()) continue;
      restore();
      std::this_thread::sleep_for(finishedAt() ? 20ms : 5ms);
    }
  }
  // The user works in the target app itself: after the call, the window they work in
  // is given back to them when the app put another one in front.
  void guardSameApp() {
    while (!finishedAt() && !exiting()) std::this_thread::sleep_for(20ms);
    while (!expired()) {
      if (followUser()) continue;
      const auto userWindow = front().window;
      WindowServer& server = desktop->windowServer();
      const auto front = server.frontWindow();
      if (userWindow && front && front != userWindow && server.frontProcess() == app && Apps::window(*userWindow)) {
        Log::info("StackGuard", "giving the user's window " + std::to_string(*userWindow) + " back in its app");
        server.activate(*userWindow);
      }
      std::this_thread::sleep_for(20ms);
    }
  }
};

StackGuard::StackGuard(RunningApp app, std::optional<RunningApp> front, std::vector<WindowInfo> windowsBefore,
                       bool /*launching*/)
    : watch_(std::make_shared<Watch>()) {
  watch_->desktop = Platform::desktopIfAny();
  if (!watch_->desktop || app.pid <= 0) return;
  watch_->app = app.pid;
  // No thread yet: no lock needed.
  watch_->frontApp = front ? std::optional(front->pid) : std::nullopt;
  watch_->frontWindow = watch_->desktop->windowServer().frontWindow();
  watch_->order = std::move(windowsBefore);
  watch_->since = watch_->desktop->clock().now();
  if (watch_->frontApp == app.pid) {
    if (watch_->frontWindow) start(watch_, &Watch::guardSameApp);
    return;
  }
  start(watch_, &Watch::guardOtherApp);
}

void StackGuard::start(std::shared_ptr<Watch> watch, void (Watch::*guard)()) {
  static std::once_flag registered;
  std::call_once(registered, [] { std::atexit(stopWatchdogs); });
  auto& all = watchdogs();
  {
    std::lock_guard lock(all.lock);
    if (all.exiting) return;
    ++all.running;
  }
  std::thread([watch = std::move(watch), guard, &all]() mutable {
    ((*watch).*guard)();
    watch.reset();  // the desktop it holds goes before the exit may proceed
    std::lock_guard lock(all.lock);
    --all.running;
    all.ended.notify_all();
  }).detach();
}

StackGuard::~StackGuard() {
  std::lock_guard guard(watch_->lock);
  if (!watch_->finished) watch_->finished = Clock::now();
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
  // What the app took during the call is given back before the call returns (the order
  // is left to the watchdog, which owns its state).
  if (watch_->desktop && watch_->app > 0 && !watch_->userActed()) watch_->restoreFront();
}
