#include "kit/input/SystemDrag.hpp"

#include <algorithm>

#include "kit/input/KeyChord.hpp"
#include "kit/input/Keyboard.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

namespace SystemDrag {
namespace {

constexpr int attempts = 3;
constexpr int checksAfterAttempt = 20;
constexpr double betweenChecks = 0.025;

WindowServer::DragSource dragSource(pid_t pid) { return Platform::desktop().windowServer().dragSource(pid); }

}  // namespace

bool showsDragImage(pid_t pid) {
  const auto all = Apps::frontToBack();
  return std::any_of(all.begin(), all.end(), [&](const WindowInfo& window) {
    return window.pid == pid && window.isOnScreen && window.layer == dragLayer;
  });
}

Watch::Watch(pid_t pid) : pid_(pid), begunBefore_(dragSource(pid).begun) {}

bool Watch::isRunning() const {
  if (showsDragImage(pid_)) return true;
  const auto source = dragSource(pid_);
  return source.begun > begunBefore_ && source.holdsData;
}

void cancel(AgentInput::Agent agent, const WindowInfo& window, const Watch& watch) {
  Clock& clock = Platform::clock();
  for (int attempt = 0; attempt < attempts && watch.isRunning(); ++attempt) {
    Keyboard::press(agent, KeyChord::parse("Escape", Keyboard::layout()), window, 0);
    for (int check = 0; check < checksAfterAttempt && watch.isRunning(); ++check) clock.sleep(betweenChecks);
  }
}

}  // namespace SystemDrag
