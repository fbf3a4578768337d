// Agent input on the real desktop: events per second through one agent's devices, the
// time from a click's last event to the app's accessibility change, and what a click
// costs beyond the waits it is designed to have. Run inside scripts/desktop-session.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <thread>
#include <vector>

#include "kit/input/InputLocks.hpp"
#include "kit/input/Pointer.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"
#include "bench/CountedDesktop.hpp"
#include "bench/WidgetFactory.hpp"
#include "platform/x11/X11Desktop.hpp"

namespace {

using Steady = std::chrono::steady_clock;
constexpr const char* factory = WidgetFactory::name;

double since(Steady::time_point start) { return std::chrono::duration<double>(Steady::now() - start).count(); }

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

struct CheckBox {
  double x = 0, y = 0;  // screenshot pixels
  std::string title;
};

std::optional<CheckBox> firstCheckBox(const std::string& state) {
  std::smatch found;
  if (!std::regex_search(state, found, std::regex(R"re(check box "([^"]+)"[^\n]*@(\d+),(\d+) (\d+)x(\d+))re")))
    return std::nullopt;
  return CheckBox{std::stod(found[2]) + std::stod(found[4]) / 2, std::stod(found[3]) + std::stod(found[5]) / 2,
                  found[1]};
}

std::optional<AXElement> findCheckBox(const AXElement& root, const std::string& title, int depth = 0) {
  if (depth > 30) return std::nullopt;
  for (const auto& child : AX::children(root)) {
    if (AX::attribute<std::string>(child, "AXRole") == "AXCheckBox" && AX::attribute<std::string>(child, "AXTitle") == title)
      return child;
    if (auto found = findCheckBox(child, title, depth + 1)) return found;
  }
  return std::nullopt;
}

}  // namespace

int main() {
  auto desktop = CountedDesktop::install();
  if (!desktop) return 1;
  auto real = desktop->real();
  auto session = std::make_shared<AgentSession>(1, "bench", std::nullopt);
  Engine engine(session, std::weak_ptr<CursorPresenter>());
  auto window = WidgetFactory::launch(engine);
  if (!window) return 1;
  auto box = firstCheckBox(engine.getAppState(factory, std::nullopt, false).text);
  auto element = box ? findCheckBox(AX::application(window->pid), box->title) : std::nullopt;
  if (!box || !element) {
    std::fprintf(stderr, "no check box in the widget factory\n");
    return 1;
  }
  const Point boxPoint{window->frame.origin.x + box->x, window->frame.origin.y + box->y};

  // Events per second through one agent master, each followed by a round trip.
  AgentInput& input = *desktop->input();
  constexpr int events = 4000;
  auto start = Steady::now();
  for (int i = 0; i < events; ++i) {
    Point p{window->frame.origin.x + 20 + i % 200, window->frame.origin.y + 60};
    input.post(session->id + 100, {.kind = AgentEvent::Kind::move, .point = p, .window = window->id, .pid = window->pid});
    desktop->windowServer().frontWindow();  // a round trip
  }
  std::printf("%-40s %8.0f events/s\n", "moves through one agent master", events / since(start));
  input.removeAgent(session->id + 100);

  // A click's last event to the check box's changed state, read through AT-SPI.
  std::vector<double> reactions;
  for (int i = 0; i < 10; ++i) {
    auto before = AX::attribute<int64_t>(*element, "AXValue");
    InputLocks::withLock(window->pid, [&] {
      SharedKeyWindow::shared().take(session->id, *window);
      Pointer::click(session->id, boxPoint, *window, MouseButton::left, 1, 0, 0);
    });
    auto clicked = Steady::now();
    while (AX::attribute<int64_t>(*element, "AXValue") == before && since(clicked) < 2) {
    }
    reactions.push_back(since(clicked) * 1000);
    SharedKeyWindow::shared().release(session->id, window->pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // not a double click
  }
  std::printf("%-40s %8.2f ms median\n", "click release to AT-SPI state change", median(reactions));

  // A whole click call beyond the motion's schedule and the designed waits.
  std::vector<double> overheads, totals;
  for (int i = 0; i < 10; ++i) {
    auto target = engine.inputTarget(factory, std::nullopt);
    session->pointer.reset();  // a fresh travel each time, from 120 to 320 points away
    double slept = desktop->clock_.slept;
    auto called = Steady::now();
    engine.performClick(target, std::nullopt, box->x, box->y, MouseButton::left, 1, std::nullopt, 0);
    double total = since(called);
    SharedKeyWindow::shared().release(session->id, window->pid);
    totals.push_back(total * 1000);
    overheads.push_back((total - (desktop->clock_.slept - slept)) * 1000);
  }
  std::printf("%-40s %8.1f ms median (whole call %.0f ms; aim: under 30 ms)\n", "click overhead beyond its schedule",
              median(overheads), median(totals));
  SharedKeyWindow::shared().endSession(session->id);
  for (const auto& app : real->workspace().runningApplications())
    if (app.pid == window->pid) real->workspace().requestQuit(app.pid);
  return 0;
}
