// The stack watch on the real desktop: how soon after a restack that leaves a cursor
// behind its target the helper reports it "covered". Run inside scripts/desktop-session.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/Figures.hpp"
#include "bench/WidgetFactory.hpp"
#include "kit/perception/WindowList.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "tests/support/ChildProcess.hpp"

using Figures::millisecondsSince;
using Figures::percentile;
using Figures::Steady;

namespace {

// Milliseconds until the helper reports the word for the cursor; negative when it never does.
double awaitReport(ChildProcess& helper, WindowNumber cursor, const std::string& word, Steady::time_point since) {
  const std::string prefix = std::to_string(cursor) + " ";
  while (auto line = helper.readLine(std::chrono::seconds(2))) {
    if (line->starts_with(prefix) && line->ends_with(" " + word))
      return millisecondsSince(since);
  }
  return -1;
}

}  // namespace

int main() {
  auto desk = WidgetFactory::openDesk();
  if (!desk) return 1;
  auto& desktop = desk->desktop;
  const WindowInfo* window = &desk->window;
  OverlayWindows& overlays = *desktop->overlays();
  const OverlayPicture square{{40, 40}, {{OverlayShape::Kind::polygon, {{0, 0}, {40, 0}, {40, 40}, {0, 40}}, {}, {255, 0, 0}}}};
  const WindowNumber cursor = overlays.create(square).value_or(0);
  overlays.move(cursor, {window->frame.origin.x + 100, window->frame.origin.y + 100});
  overlays.orderAbove(cursor, window->id);

  ChildProcess helper(TARNWICK_EXECUTABLE, {"stack-watch"});  // the helper the resident app runs
  helper.writeLine(std::to_string(cursor) + " " + std::to_string(window->id) + " 1");
  if (awaitReport(helper, cursor, "shown", Steady::now()) < 0) return 1;
  auto& server = dynamic_cast<X11WindowServer&>(desktop->windowServer());
  std::vector<double> covered;
  for (int round = 0; round < 40; ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // past the 30 ms between two reports
    const auto start = Steady::now();
    server.raise(window->id);  // the target now stands in front of its cursor
    if (double ms = awaitReport(helper, cursor, "covered", start); ms >= 0) covered.push_back(ms);
    overlays.orderAbove(cursor, window->id);
  }
  std::printf("stack watch, restack to \"covered\" (%zu of 40): median %.1f ms, p90 %.1f ms, max %.1f ms\n",
              covered.size(), percentile(covered, 0.5), percentile(covered, 0.9), percentile(covered, 1.0));
  overlays.destroy(cursor);
  desktop->workspace().requestQuit(window->pid);
  return 0;
}
