#include "kit/input/Keyboard.hpp"

#include <algorithm>

#include "kit/common/ToolError.hpp"
#include "kit/input/HumanRandom.hpp"
#include "kit/input/HumanTyping.hpp"
#include "kit/input/PauseClock.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/platform/KeyboardLayouts.hpp"

namespace Keyboard {
namespace {

// A held key repeats as the X server's default does: after 660 ms, 25 times a second.
constexpr double repeatDelay = 0.66;
constexpr double repeatInterval = 0.04;

void post(AgentInput::Agent agent, const WindowInfo& window, uint32_t keyCode, bool down, uint32_t flags,
          const std::string& text = {}) {
  if (keyCode == 0 && text.empty()) return;
  AgentEvent event{.kind = down ? AgentEvent::Kind::keyDown : AgentEvent::Kind::keyUp,
                   .window = window.id,
                   .pid = window.pid,
                   .modifiers = flags,
                   .keyCode = keyCode,
                   .text = text};
  SharedKeyWindow::shared().post(agent, event, SharedKeyWindow::Key{keyCode, down});
}

void sleep(double seconds) {
  if (seconds > 0) Platform::clock().sleep(seconds);
}

}  // namespace

KeyboardLayouts& layout() {
  KeyboardLayouts* layouts = Platform::desktop().keyboardLayouts();
  if (layouts == nullptr) throw ToolError("This desktop has no keyboard layout to type with.");
  return *layouts;
}

void press(AgentInput::Agent agent, const KeyChord& chord, const WindowInfo& window, double hold) {
  KeyboardLayouts& keys = layout();
  uint32_t flags = 0;
  for (uint32_t modifier : chord.modifiers) {
    flags |= modifier;
    post(agent, window, KeyChord::modifierKey(modifier, keys).value_or(0), true, flags);
    sleep(HumanTiming::micros(0.04, 0.09));
  }
  post(agent, window, chord.keyCode, true, flags);
  if (hold > 0) holdWithRepeat(agent, chord.keyCode, flags, window, hold);
  else sleep(HumanTiming::micros(0.06, 0.11));
  post(agent, window, chord.keyCode, false, flags);
  for (auto modifier = chord.modifiers.rbegin(); modifier != chord.modifiers.rend(); ++modifier) {
    sleep(HumanTiming::micros(0.01, 0.04));
    flags &= ~*modifier;
    post(agent, window, KeyChord::modifierKey(*modifier, keys).value_or(0), false, flags);
  }
}

void holdWithRepeat(AgentInput::Agent agent, uint32_t keyCode, uint32_t flags, const WindowInfo& window, double hold) {
  Clock& clock = Platform::clock();
  const double end = clock.now() + hold;
  for (double next = clock.now() + repeatDelay; next < end; next += std::max(repeatInterval, 0.015)) {
    sleep(next - clock.now());
    post(agent, window, keyCode, true, flags);
  }
  sleep(end - clock.now());
}

void type(AgentInput::Agent agent, const std::string& text, const WindowInfo& window) {
  KeyboardLayouts& keys = layout();
  const std::vector<KeyEvent> schedule = HumanTyping::events(HumanTyping::typedKeys(text, keys));
  const PauseClock::Schedule playback;
  for (const KeyEvent& event : schedule) {
    playback.waitFor(event.time);
    const uint32_t code = event.modifier ? KeyChord::modifierKey(event.modifier, keys).value_or(0) : event.keyCode;
    post(agent, window, code, event.isDown, event.flags, event.text.value_or(""));
  }
}

}  // namespace Keyboard
