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

}  // namespace

bool isRunning(pid_t pid) {
  const auto all = Apps::frontToBack();
  return std::any_of(all.begin(), all.end(), [&](const WindowInfo& window) {
    return window.pid == pid && window.isOnScreen && window.layer == dragLayer;
  });
}

void cancel(AgentInput::Agent agent, const WindowInfo& window) {
  Clock& clock = Platform::clock();
  for (int attempt = 0; attempt < attempts && isRunning(window.pid); ++attempt) {
    Keyboard::press(agent, KeyChord::parse("Escape", Keyboard::layout()), window, 0);
    for (int check = 0; check < checksAfterAttempt && isRunning(window.pid); ++check) clock.sleep(betweenChecks);
  }
}

}  // namespace SystemDrag
