#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "kit/perception/RunningApp.hpp"
#include "kit/platform/WindowInfo.hpp"

// The guard of the user's front window around one tool call: a watchdog that runs
// during the call and for 4 seconds after it and gives the front back to the user's
// window whenever the target app takes it. The user's own clicks and keys re-baseline
// it instead of being undone.
class StackGuard {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds watchAfter{4};

  // Creating the guard starts it.
  StackGuard(RunningApp app, std::optional<RunningApp> front, std::vector<WindowInfo> windowsBefore, bool launching);
  // A guard never finished is finished now, so that its watchdog ends.
  ~StackGuard();
  StackGuard(const StackGuard&) = delete;
  StackGuard& operator=(const StackGuard&) = delete;

  // The current front-to-back order of normal windows.
  static std::vector<WindowInfo> normalWindows();

  // The call is over: what the app takes within 4 seconds is still given back, and
  // whatever it took during the call is given back before this returns.
  void finish(Clock::time_point at);

 private:
  struct Watch;
  static void start(std::shared_ptr<Watch> watch, void (Watch::*guard)());
  std::shared_ptr<Watch> watch_;  // shared with the watchdog thread, which outlives the guard
};
