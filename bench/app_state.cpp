// Perception figures: the walk of a large tree, JPEG encoding, and the size of full
// against changes-only state texts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "kit/perception/AX.hpp"
#include "kit/perception/AccessibilityTree.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/JPEG.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"
#include "platform/sim/SimDesktop.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void walk() {
  auto desktop = std::make_shared<SimDesktop>();
  Platform::install(desktop);
  pid_t app = desktop->addApp({.name = "Big"});
  WindowNumber window = desktop->addWindow(app, {.title = "Big", .frame = {{0, 0}, {1400, 880}}});
  SimDesktop::NodeID root = desktop->windowNode(window);
  for (int i = 0; i < 504; ++i) desktop->addElement(root, "AXGroup");  // visited, never listed
  for (int i = 0; i < 1499; ++i) {
    SimDesktop::NodeID node = root;
    for (int level = 0; level < 4; ++level) node = desktop->addElement(node, "AXGroup");
    desktop->addElement(node, "AXButton",
                        {{"AXTitle", "b" + std::to_string(i)},
                         {"AXPosition", Point{double(i % 40) * 30, double(i / 40) * 20}},
                         {"AXSize", Size{28, 18}}},
                        {"AXPress"});
  }

  std::vector<double> times;
  size_t listed = 0, characters = 0;
  int visited = 0;
  for (int run = 0; run < 10; ++run) {
    auto start = Clock::now();
    AccessibilityTree tree({{0, 0}, {1400, 880}}, [](Point p) { return p; }, 1.0, std::nullopt, nullptr, 0);
    tree.visit(desktop->element(root), 0, "", false, false);
    times.push_back(millisecondsSince(start));
    listed = tree.elements().size();
    visited = tree.visited();
    characters = 0;
    for (const auto& line : tree.lines()) characters += line.size() + 1;
  }
  std::printf("walk: %zu listed of %d visited in %.1f ms (median of 10), %zu characters\n", listed, visited,
              median(times), characters);
}

void encode() {
  Image image(1568, 980, 236, 236, 236);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      uint8_t* p = image.pixel(x, y);
      if ((x / 40 + y / 24) % 3 == 0) p[0] = 40, p[1] = 90, p[2] = uint8_t(x);
      if (x % 97 == 0 || y % 61 == 0) p[0] = p[1] = p[2] = 0;
    }
  }
  std::vector<double> times;
  size_t bytes = 0;
  for (int run = 0; run < 20; ++run) {
    auto start = Clock::now();
    bytes = JPEG::encode(image)->size();
    times.push_back(millisecondsSince(start));
  }
  std::printf("jpeg: 1568x980 at quality 82 in %.2f ms (median of 20), %zu bytes\n", median(times), bytes);
}

void diffSize() {
  auto desktop = SimDesktop::demo();
  Platform::install(desktop);
  WindowList::useHelper(nullptr);
  auto session = std::make_shared<AgentSession>(1, "bench", std::nullopt);
  Engine engine(session, std::weak_ptr<CursorPresenter>());
  const std::string full = engine.getAppState("Settings", std::nullopt, false).text;
  RunningApp settings = Apps::find("Settings");
  auto window = Apps::mainWindow(settings);
  auto root = AX::children(*Apps::axWindow(window));
  for (const auto& element : root) {
    if (AX::attribute<std::string>(element, "AXRole") == "AXSlider") AX::set(element, "AXValue", 55.0);
  }
  const std::string changes = engine.getAppState("Settings", std::nullopt, true).text;
  std::printf("settings window: full %zu characters, changes only %zu characters (%.1f%% of full; aim under 20%%)\n",
              full.size(), changes.size(), 100.0 * double(changes.size()) / double(full.size()));
}

}  // namespace

int main() {
  walk();
  encode();
  diffSize();
}
