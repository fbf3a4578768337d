#include "kit/platform/Desktop.hpp"

#include <mutex>
#include <vector>

#include "kit/common/ToolError.hpp"

namespace Platform {
namespace {

struct State {
  std::mutex lock;  // guards everything below; never held while a backend works for a tool
  Finder finder;
  std::shared_ptr<Desktop> desktop;
  // Replaced desktops stay alive: references handed out earlier must not dangle.
  std::vector<std::shared_ptr<Desktop>> retired;
  double lastSearch = -1e9;
};

State& state() {
  static State instance;
  return instance;
}

SystemClock& systemClock() {
  static SystemClock instance;
  return instance;
}

}  // namespace

void setFinder(Finder finder) {
  std::lock_guard guard(state().lock);
  state().finder = std::move(finder);
  state().lastSearch = -1e9;
}

void install(std::shared_ptr<Desktop> desktop) {
  std::lock_guard guard(state().lock);
  if (state().desktop) state().retired.push_back(state().desktop);
  state().desktop = std::move(desktop);
}

std::shared_ptr<Desktop> desktopIfAny() {
  auto& s = state();
  std::lock_guard guard(s.lock);
  if (!s.desktop && s.finder) {
    double now = systemClock().now();
    if (now - s.lastSearch >= 1.0) {
      s.lastSearch = now;
      s.desktop = s.finder();
    }
  }
  return s.desktop;
}

Desktop& desktop() {
  // The desktop lives as long as the process once found, so a reference is safe to hand out.
  if (auto found = desktopIfAny()) return *found;
  throw ToolError(
      "No desktop session was found. Run Tarnwick inside a graphical session (set DISPLAY to the X display, for "
      "example DISPLAY=:0), or set TARNWICK_PLATFORM=sim to use the simulated demo desktop.");
}

Clock& clock() {
  if (auto found = desktopIfAny()) return found->clock();
  return systemClock();
}

}  // namespace Platform
