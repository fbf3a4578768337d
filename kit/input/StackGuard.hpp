#pragma once
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "kit/perception/RunningApp.hpp"
#include "kit/platform/WindowInfo.hpp"

// The guard of the user's front app and window order around one tool call. Today it
// only records what it was given and when the call finished; nothing is watched or
// restored yet, and normalWindows() is empty.
class StackGuard {
 public:
  using Clock = std::chrono::steady_clock;

  StackGuard(RunningApp app, std::optional<RunningApp> front, std::vector<WindowInfo> windowsBefore, bool launching);

  // The current front-to-back order of normal windows.
  static std::vector<WindowInfo> normalWindows();

  // The call is over; whatever happens to the stack later is not this call's doing.
  void finish(Clock::time_point at);

 private:
  [[maybe_unused]] RunningApp app_;
  [[maybe_unused]] std::optional<RunningApp> front_;
  [[maybe_unused]] std::vector<WindowInfo> windowsBefore_;
  [[maybe_unused]] bool launching_;
  std::mutex lock_;
  std::optional<Clock::time_point> finishedAt_;
};
