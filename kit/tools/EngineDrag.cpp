#include <cmath>

#include "kit/actions/BrowserTabDrag.hpp"
#include "kit/actions/TextDrag.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/input/HumanMotion.hpp"
#include "kit/input/HumanRandom.hpp"
#include "kit/input/InputLocks.hpp"
#include "kit/input/KeyChord.hpp"
#include "kit/input/Keyboard.hpp"
#include "kit/input/PauseClock.hpp"
#include "kit/input/Pointer.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/input/SystemDrag.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"

namespace {

constexpr const char* crossWindowRule =
    "Cross-window drag supports only a selected accessible text move or Option-copy, without waypoints. No system "
    "drag was started.";

std::string pixel(double value) { return std::to_string(static_cast<int64_t>(std::trunc(value))); }

// Checked every few samples: asking the window list costs a round trip.
constexpr size_t samplesBetweenDragChecks = 4;

}  // namespace

ToolResult Engine::drag(const DragRequest& request) {
  Target target = inputTarget(request.app, request.windowID);
  const uint32_t modifiers = request.keys ? KeyChord::heldModifiers(*request.keys) : 0;
  const bool plainOrCopy = modifiers == 0 || modifiers == KeyModifier::alt;
  const bool copy = modifiers == KeyModifier::alt;
  if (request.toApp || request.toWindowID) {
    if (request.button != MouseButton::left || !request.through.empty() || !plainOrCopy)
      throw ToolError(crossWindowRule);
    return dragTextBetweenWindows(request, target, copy);
  }

  std::vector<Point> points{screenPoint(request.from.x, request.from.y, target)};
  for (const Point& pixelPoint : request.through) points.push_back(screenPoint(pixelPoint.x, pixelPoint.y, target));
  points.push_back(screenPoint(request.to.x, request.to.y, target));
  const Point start = points.front(), end = points.back();

  if (request.button == MouseButton::left && request.through.empty() && plainOrCopy) {
    std::optional<std::string> moved;
    InputLocks::withLock(target.app.pid, [&] { moved = TextDrag::transfer(start, end, target.window, copy, target.window); });
    if (moved) return restAfterTransfer(end, target, *moved);
  }
  const bool plainLeft = request.button == MouseButton::left && request.through.empty() && modifiers == 0;
  std::optional<std::string> reordered;
  InputLocks::withLock(target.app.pid, [&] {
    reordered = BrowserTabDrag::transfer(start, end, target.window, target.app, plainLeft, tabKeys(target));
  });
  if (reordered) return restAfterTransfer(end, target, *reordered);

  const Surroundings around = surroundings(target);
  for (Point point : {start, end})
    if (isCovered(point, target, around)) throw ToolError(Pointer::coveredMessage);
  travel(start, target, 16, false, around);
  Movement movement = request.through.empty() ? HumanMotion::drag(start, end, request.duration)
                                              : HumanMotion::trace(points);
  const SystemDrag::Watch watch(target.app.pid);
  bool systemDrag = false;
  InputLocks::withLock(target.app.pid,
                       [&] { systemDrag = playDrag(movement, target, request.button, modifiers, around, watch); });
  if (!systemDrag && !watch.isRunning()) {
    session->pointer = end;
    return {"Dragged from (" + pixel(request.from.x) + ", " + pixel(request.from.y) + ") to (" + pixel(request.to.x) +
                ", " + pixel(request.to.y) + ").",
            {}};
  }
  restCursor(target);
  SystemDrag::cancel(session->id, target.window, watch);  // one that outlived the release; else nothing
  throw ToolError(SystemDrag::cancelledMessage);
}

ToolResult Engine::dragTextBetweenWindows(const DragRequest& request, const Target& source, bool copy) {
  const Target destination = inputTarget(request.toApp.value_or(request.app), request.toWindowID);
  if (Apps::isRemotePanel(source.window) || Apps::isRemotePanel(destination.window))
    throw ToolError("Cross-window text transfer does not support remote file panels.");
  const Point from = screenPoint(request.from.x, request.from.y, source);
  const Point to = screenPoint(request.to.x, request.to.y, destination);
  std::optional<std::string> moved;
  InputLocks::withLocks({source.app.pid, destination.app.pid},
                        [&] { moved = TextDrag::transfer(from, to, source.window, copy, destination.window); });
  if (!moved)
    throw ToolError("The source is not a selected accessible text range. No cross-window system drag was started.");
  return restAfterTransfer(to, destination, *moved);
}

BrowserTabDrag::Keys Engine::tabKeys(const Target& target) {
  return {.prepare = [this, target] {
            SharedKeyWindow::shared().take(session->id, target.window);
            aimKeys(target);
          },
          .targetWindow = [target] { return SharedKeyWindow::shared().holds(target.app.pid); },
          .moveTab = [this, target](bool right) {
            const KeyChord chord = KeyChord::parse(right ? "ctrl+shift+Page_Down" : "ctrl+shift+Page_Up", Keyboard::layout());
            SharedKeyWindow::shared().take(session->id, target.window);
            Keyboard::press(session->id, chord, target.window, 0);
          }};
}

ToolResult Engine::restAfterTransfer(Point at, const Target& target, const std::string& text) {
  session->pointer = at;
  restCursor(target);
  return {text, {}};
}

bool Engine::playDrag(const Movement& movement, const Target& target, MouseButton button, uint32_t modifiers,
                      const Surroundings& around, const SystemDrag::Watch& watch) {
  const auto agent = session->id;
  Clock& clock = Platform::clock();
  SharedKeyWindow::shared().take(agent, target.window);
  clock.sleep(HumanTiming::micros(0.04, 0.12));
  Point at = session->pointer.value_or(movement.samples.front().point);
  const WindowInfo pressed = windowAt(at, target, around);
  Pointer::press(agent, at, pressed, button, modifiers);
  clock.sleep(HumanTiming::micros(0.06, 0.12) + HumanTiming::micros(0.04, 0.12));

  const PauseClock::Schedule playback;
  if (auto shown = presenter.lock()) shown->moveCursor(*session, movement.path, playback.start(), target.window.id);
  bool systemDrag = false;
  for (size_t i = 0; i < movement.samples.size(); ++i) {
    const MotionSample& sample = movement.samples[i];
    playback.waitFor(sample.time);
    // Over another app's window the motion would reach that window.
    if (around.mayCover(sample.point) && !Pointer::reaches(pressed, sample.point)) continue;
    Pointer::dragTo(agent, sample.point, pressed, button, modifiers);
    at = sample.point;
    session->pointer = at;
    if ((i + 1) % samplesBetweenDragChecks == 0 && watch.isRunning()) {
      systemDrag = true;
      break;
    }
  }
  clock.sleep(HumanTiming::micros(0.04, 0.12));
  // Released during a system drag, the button would drop: Escape ends it first.
  if (systemDrag || watch.isRunning()) {
    systemDrag = true;
    SystemDrag::cancel(agent, target.window, watch);
  }
  Pointer::release(agent, at, pressed, button, modifiers);
  return systemDrag;
}

void Engine::restCursor(const Target& target) {
  if (!session->pointer) return;
  if (auto shown = presenter.lock())
    shown->moveCursor(*session, PointerPath::resting(*session->pointer), Platform::clock().now(), target.window.id);
}
