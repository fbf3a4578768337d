#include "kit/input/Pointer.hpp"

#include <algorithm>

#include "kit/common/ToolError.hpp"
#include "kit/input/HumanRandom.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/platform/Desktop.hpp"

namespace Pointer {
namespace {

AgentEvent event(AgentEvent::Kind kind, Point at, const WindowInfo& window) {
  return {.kind = kind, .point = at, .window = window.id, .pid = window.pid};
}

AgentEvent withButton(AgentEvent::Kind kind, Point at, const WindowInfo& window, MouseButton button,
                      uint32_t modifiers) {
  AgentEvent made = event(kind, at, window);
  made.button = button;
  made.modifiers = modifiers;
  return made;
}

}  // namespace

bool reaches(const WindowInfo& window, Point point) {
  auto hit = Platform::desktop().windowServer().windowAt(point);
  return hit && (hit->id == window.id || hit->pid == window.pid);
}

void move(AgentInput::Agent agent, Point to, const WindowInfo& window) {
  SharedKeyWindow::shared().post(agent, event(AgentEvent::Kind::move, to, window));
}

void click(AgentInput::Agent agent, Point at, const WindowInfo& window, MouseButton button, int count,
           uint32_t modifiers, double hold) {
  Clock& clock = Platform::clock();
  clock.sleep(HumanTiming::micros(0.04, 0.12));
  const int presses = std::max(count, 1);
  for (int i = 1; i <= presses; ++i) {
    if (!reaches(window, at)) throw ToolError(coveredMessage);
    AgentEvent down = withButton(AgentEvent::Kind::buttonDown, at, window, button, modifiers);
    down.clickState = i;
    SharedKeyWindow::shared().post(agent, down);
    clock.sleep(hold > 0 ? hold : HumanTiming::micros(0.06, 0.12));
    AgentEvent up = down;
    up.kind = AgentEvent::Kind::buttonUp;
    SharedKeyWindow::shared().post(agent, up);
    if (i < presses) clock.sleep(HumanTiming::micros(0.07, 0.13));
  }
}

void press(AgentInput::Agent agent, Point at, const WindowInfo& window, MouseButton button, uint32_t modifiers) {
  if (!reaches(window, at)) throw ToolError(coveredMessage);
  SharedKeyWindow::shared().post(agent, withButton(AgentEvent::Kind::buttonDown, at, window, button, modifiers));
}

void dragTo(AgentInput::Agent agent, Point at, const WindowInfo& window, MouseButton button, uint32_t modifiers) {
  SharedKeyWindow::shared().post(agent, withButton(AgentEvent::Kind::move, at, window, button, modifiers));
}

void release(AgentInput::Agent agent, Point at, const WindowInfo& window, MouseButton button, uint32_t modifiers) {
  SharedKeyWindow::shared().post(agent, withButton(AgentEvent::Kind::buttonUp, at, window, button, modifiers));
}

void scroll(AgentInput::Agent agent, Point at, const WindowInfo& window, Point wheel) {
  AgentEvent turned = event(AgentEvent::Kind::scroll, at, window);
  turned.wheel = wheel;
  SharedKeyWindow::shared().post(agent, turned);
}

}  // namespace Pointer
