#include <algorithm>
#include <cmath>

#include "kit/backstage/Backstage.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/input/HumanMotion.hpp"
#include "kit/input/InputLocks.hpp"
#include "kit/input/PauseClock.hpp"
#include "kit/input/Pointer.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"

Engine::~Engine() {
  if (sentInput_) SharedKeyWindow::shared().endSession(session->id);
  Backstage::shared().agentLeft(session->id);
}

ElementRecord Engine::element(int64_t index, const Target& target) const {
  if (auto record = session->record(index, target.app.pid, target.snapshot)) return *record;
  if (session->snapshot(target.app.pid)) {
    throw ToolError("No element [" + std::to_string(index) +
                    "] in the recent states of this app. Use an index from the latest state.");
  }
  throw ToolError("Call get_app_state for this app first; element indexes come from it.");
}

std::optional<Rect> Engine::knownFrame(const ElementRecord& record) {
  if (auto now = AX::frame(AX::withTimeout(record.element, AX::standardTimeout))) return now;
  return record.frame;
}

std::optional<Point> Engine::visibleCentre(const ElementRecord& record, const Target& target) {
  const std::optional<Rect> frame = knownFrame(record);
  const auto visible = frame ? intersect(*frame, target.window.frame) : std::nullopt;
  if (!visible || visible->size.width <= 0 || visible->size.height <= 0) return std::nullopt;
  return visible->center();
}

Rect Engine::elementFrame(const ElementRecord& record) {
  if (auto frame = knownFrame(record)) return *frame;
  throw ToolError("The element has no position on screen.");
}

Point Engine::screenPoint(double x, double y, const Target& target) const {
  const SnapshotRef& shot = target.snapshot;
  if (!shot) throw ToolError("Call get_app_state for this window first; x/y are pixels of its screenshot.");
  const Rect then = shot->window.frame;
  auto found = Apps::window(target.window.id);
  const Rect now = found ? found->frame : then;
  return {now.origin.x - then.origin.x + shot->origin.x + x / shot->scale,
          now.origin.y - then.origin.y + shot->origin.y + y / shot->scale};
}

bool Engine::Surroundings::mayCover(Point point) const {
  return std::any_of(others.begin(), others.end(), [&](const Rect& frame) { return frame.contains(point); });
}

Engine::Surroundings Engine::surroundings(const Target& target) {
  const auto all = Apps::frontToBack();
  Surroundings around{Apps::transientWindows(all, target.window, Apps::standardWindowIDs(target.app)), {}};
  for (const auto& window : all) {
    if (window.id == target.window.id) break;
    if (window.pid != target.app.pid && window.isOnScreen) around.others.push_back(window.frame);
  }
  return around;
}

WindowInfo Engine::windowAt(Point point, const Target& target, const Surroundings& around) {
  for (const auto& transient : around.transients)
    if (transient.frame.contains(point)) return transient;
  return target.window;
}

bool Engine::isCovered(Point point, const Target& target, const Surroundings& around) {
  return target.window.frame.contains(point) && around.mayCover(point) &&
         !Pointer::reaches(windowAt(point, target, around), point);
}

void Engine::travel(Point to, const Target& target, double size, bool pulse, const Surroundings& around) {
  sentInput_ = true;
  const Point start = session->pointer ? *session->pointer : HumanMotion::entryPoint(to, target.window.frame);
  Movement movement = HumanMotion::travel(start, to, size);
  std::vector<WindowInfo> receivers = around.transients;
  receivers.push_back(target.window);
  const auto agent = session->id;
  InputLocks::withLock(target.app.pid, [&] {
    if (!Apps::isRemotePanel(target.window)) SharedKeyWindow::shared().take(agent, target.window);
    const PauseClock::Schedule playback;
    if (auto shown = presenter.lock()) shown->moveCursor(*session, movement.path, playback.start(), target.window.id);
    for (const MotionSample& sample : movement.samples) {
      playback.waitFor(sample.time);
      for (const WindowInfo& receiver : receivers) {
        if (!receiver.frame.contains(sample.point)) continue;
        // A point another app's window covers would give that window the motion.
        if (!around.mayCover(sample.point) || Pointer::reaches(receiver, sample.point))
          Pointer::move(agent, sample.point, receiver);
        break;
      }
    }
  });
  session->pointer = to;
  if (pulse)
    if (auto shown = presenter.lock()) shown->pulseCursor(*session);
}
