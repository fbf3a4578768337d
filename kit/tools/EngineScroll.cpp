// scroll: wheel events shaped like a swipe at a point of the window, then a look through
// accessibility at whether the view moved, with the scroll bar or page actions to fall back on.
#include <cmath>

#include "kit/actions/Scrolling.hpp"
#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/input/HumanScrolling.hpp"
#include "kit/input/InputLocks.hpp"
#include "kit/input/PauseClock.hpp"
#include "kit/input/Pointer.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/perception/AX.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"

namespace {

struct Direction {
  int vertical = 0, horizontal = 0;  // wheel signs: up and left are positive
  std::string name;                  // for the page actions
};

Direction direction(const std::string& word) {
  const std::string key = Text::lowered(word);
  if (key == "up" || key == "u") return {1, 0, "up"};
  if (key == "down" || key == "d") return {-1, 0, "down"};
  if (key == "left" || key == "l") return {0, 1, "left"};
  if (key == "right" || key == "r") return {0, -1, "right"};
  throw ToolError("direction must be up, down, left or right.");
}

std::string percent(double position) { return std::to_string(int(std::lround(position * 100))) + "%"; }

}  // namespace

ToolResult Engine::scroll(const std::string& app, std::optional<WindowNumber> windowID,
                          std::optional<int64_t> elementIndex, std::optional<double> x, std::optional<double> y,
                          const std::string& directionWord, double pages) {
  const Target target = inputTarget(app, windowID);
  Point point = target.window.frame.center();
  if (elementIndex) {
    const ElementRecord record = element(*elementIndex, target);
    const std::optional<Point> centre = visibleCentre(record, target);
    if (!centre)
      throw ToolError("Element " + std::to_string(*elementIndex) + " is not in the visible part of the window.");
    point = *centre;
  } else if (x) {
    if (!y) throw ToolError("Pass element_index, or x and y.");
    point = screenPoint(*x, *y, target);
  }
  const Direction way = direction(directionWord);
  const bool horizontal = way.horizontal != 0;
  const Surroundings around = surroundings(target);
  if (isCovered(point, target, around)) throw ToolError(Pointer::coveredMessage);

  const auto area = Scrolling::scrollArea(point, target.app.pid);
  std::optional<Rect> areaFrame = area ? AX::frame(*area) : std::nullopt;
  const Size viewport = areaFrame ? areaFrame->size : target.window.frame.size;
  const double distance = std::max(0.0, pages) * (horizontal ? viewport.width : viewport.height) * 0.85;
  std::optional<double> before;
  if (area) before = Scrolling::position(*area, horizontal);

  travel(point, target, 24, false, around);
  const auto steps = HumanScrolling::steps(int64_t(distance));
  const WindowInfo receiver = windowAt(point, target, around);
  InputLocks::withLock(target.app.pid, [&] {
    SharedKeyWindow::shared().take(session->id, target.window);
    const PauseClock::Schedule playback;
    for (size_t i = 0; i < steps.size(); ++i) {
      playback.waitFor(steps[i].time);
      // The user may have put a window over the point meanwhile: the wheel must not reach it.
      if (i % 8 == 0 && around.mayCover(point) && !Pointer::reaches(receiver, point)) break;
      const double delta = double(steps[i].delta);
      Pointer::scroll(session->id, point, receiver, {way.horizontal * delta, way.vertical * delta});
    }
  });
  Platform::clock().sleep(0.15);

  if (!before) {
    return {"Sent the scroll wheel " + directionWord +
                ", but this view does not report its scroll position, so whether it moved is unknown; compare with "
                "get_app_state.",
            {}};
  }
  const double from = *before;
  if (auto after = Scrolling::position(*area, horizontal); after && std::abs(*after - from) > 0.0005)
    return {"Scrolled " + directionWord + ": position " + percent(from) + " \u2192 " + percent(*after) + ".", {}};
  auto moved = Scrolling::scrollByBar(*area, horizontal, way.vertical + way.horizontal < 0, distance);
  if (!moved) moved = Scrolling::scrollByPage(*area, way.name, pages);
  if (moved) {
    return {"Scrolled " + directionWord + " through accessibility: position " + percent(from) + " \u2192 " +
                percent(*moved) + ".",
            {}};
  }
  const bool towardsStart = way.vertical > 0 || way.horizontal > 0;
  return {"Nothing moved: the view is at the " + std::string(towardsStart ? "start" : "end") +
              " already, or ignores scrolling in the background.",
          {}};
}
