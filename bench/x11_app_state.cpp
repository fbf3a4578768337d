// get_app_state on the real desktop: gtk3-widget-factory, full and changes-only, and its
// parts (walk, capture, encode). Run inside scripts/desktop-session.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "kit/perception/AX.hpp"
#include "kit/perception/AccessibilityTree.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/Capture.hpp"
#include "kit/perception/JPEG.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"
#include "bench/WidgetFactory.hpp"
#include "platform/x11/X11Desktop.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int calls = 20;
constexpr const char* factory = WidgetFactory::name;

template <typename Work>
void measure(const char* name, const char* aim, Work work) {
  work();  // warm the caches once
  std::vector<double> times;
  for (int i = 0; i < calls; ++i) {
    auto start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  std::printf("%-22s median %7.1f ms   p99 %7.1f ms   (aim: %s)\n", name, times[calls / 2], times[calls - 1], aim);
}

}  // namespace

int main() {
  auto desktop = X11Desktop::open();
  if (!desktop) {
    std::fprintf(stderr, "no X server at $DISPLAY; run this through scripts/desktop-session\n");
    return 1;
  }
  Platform::install(desktop);
  WindowList::useHelper(nullptr);
  auto session = std::make_shared<AgentSession>(1, "bench", std::nullopt);
  Engine engine(session, std::weak_ptr<CursorPresenter>());
  auto window = WidgetFactory::launch(engine);
  if (!window) return 1;

  const auto root = Apps::axWindow(*window);
  int visited = 0;
  size_t listed = 0;
  auto walk = [&] {
    AccessibilityTree tree(window->frame, [](Point p) { return p; }, 1.0, std::nullopt, nullptr, 0);
    if (root) tree.visit(*root, 0, "", false, false);
    visited = tree.visited();
    listed = tree.elements().size();
  };
  const double scale = Capture::scaleFor(window->frame);
  std::optional<Image> image;
  auto capture = [&] { image = desktop->capture().displayImage({window->id}, window->frame, scale); };
  auto encode = [&] { JPEG::encode(*image, Capture::quality); };

  std::printf("get_app_state of %s, window %.0fx%.0f, %d calls each\n", factory, window->frame.size.width,
              window->frame.size.height, calls);
  measure("full state", "under 250 ms", [&] { engine.getAppState(factory, std::nullopt, false); });
  measure("changes-only state", "under 150 ms", [&] { engine.getAppState(factory, std::nullopt, true); });
  measure("walk", "-", walk);
  std::printf("%-22s %zu listed of %d visited\n", "", listed, visited);
  measure("capture", "with encode under 40 ms", capture);
  if (!image) {
    std::fprintf(stderr, "the window could not be captured\n");
    return 1;
  }
  measure("encode", "with capture under 40 ms", encode);
  if (auto pid = window->pid) desktop->workspace().requestQuit(pid);
}
