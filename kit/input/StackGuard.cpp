#include "kit/input/StackGuard.hpp"

StackGuard::StackGuard(RunningApp app, std::optional<RunningApp> front, std::vector<WindowInfo> windowsBefore,
                       bool launching)
    : app_(std::move(app)), front_(std::move(front)), windowsBefore_(std::move(windowsBefore)), launching_(launching) {}

std::vector<WindowInfo> StackGuard::normalWindows() { return {}; }

void StackGuard::finish(Clock::time_point at) {
  std::lock_guard guard(lock_);
  finishedAt_ = at;
}
