#pragma once
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "kit/perception/RunningApp.hpp"
#include "kit/perception/WindowInfo.hpp"

// Watches, during one tool call, that the target app does not take the user's
// front app or push itself above the user's windows.
class StackGuard {
 public:
  using Clock = std::chrono::steady_clock;

  StackGuard(RunningApp app, std::optional<RunningApp> front, std::vector<WindowInfo> windowsBefore, bool launching);

  // The current front-to-back order of normal windows.
  static std::vector<WindowInfo> normalWindows();

  // The call is over; whatever happens to the stack later is not this call's doing.
  void finish(Clock::time_point at);

 private:
  // Read by the restoring half of the guard.
  [[maybe_unused]] RunningApp app_;
  [[maybe_unused]] std::optional<RunningApp> front_;
  [[maybe_unused]] std::vector<WindowInfo> windowsBefore_;
  [[maybe_unused]] bool launching_;
  std::mutex lock_;
  std::optional<Clock::time_point> finishedAt_;
};
