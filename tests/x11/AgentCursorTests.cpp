// Every agent's cursor shows on the window it works in, and only where the user sees that window.
#include <gtest/gtest.h>

#include <thread>

#include "platform/x11/X11Pixels.hpp"
#include "tests/x11/AgentDesk.hpp"
#include "tests/x11/ElementSearch.hpp"

namespace {

using namespace std::chrono_literals;

struct RGB {
  uint8_t red, green, blue;
};
constexpr RGB orange{255, 115, 64}, blue{47, 124, 255};

class AgentCursors : public AgentDesk {
 protected:
  // Pixels of the colour in the area of the screen, as the user sees it: the root window's
  // pixels, as `import -window root` reads them, but only the area (the whole screen takes
  // seconds under load and stalls the X server meanwhile).
  static size_t pixelsOf(RGB color, const Rect& area) {
    auto shown = X11Pixels::onScreen(area);
    if (!shown) return 0;
    size_t count = 0;
    for (int y = 0; y < shown->height; ++y) {
      for (int x = 0; x < shown->width; ++x) {
        const uint8_t* pixel = shown->pixel(x, y);
        count += pixel[0] == color.red && pixel[1] == color.green && pixel[2] == color.blue;
      }
    }
    return count;
  }
  static std::string hoverFirstCheckBox(ChildProcess& relay) {
    auto box = ElementSearch::firstCheckBox(toolOn(relay, "get_app_state", {{"app", "gtk3-widget-factory"}}));
    if (!box) return "no check box";
    return toolOn(relay, "hover", {{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(box->index)}});
  }
};

}  // namespace

TEST_F(AgentCursors, TheCursorShowsOverItsTargetAndHidesBehindWhatTheUserPutsInFront) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const UserSide before;
  EXPECT_TRUE(hoverFirstCheckBox(*relay_).starts_with("Moved the cursor there."));
  EXPECT_TRUE(eventually([&] { return pixelsOf(orange, factory->frame) > 40; }, 3s)) << "the agent's orange cursor";
  EXPECT_EQ(UserSide(), before);

  // A second agent has a cursor of its own, in another colour, gone with its connection.
  {
    auto second = newRelay("a-second-agent-with-a-longer-name");  // its tag shows past the first one's
    EXPECT_TRUE(hoverFirstCheckBox(*second).starts_with("Moved the cursor there."));
    EXPECT_TRUE(eventually([&] { return pixelsOf(blue, factory->frame) > 40; }, 3s)) << "the second agent's cursor";
  }
  EXPECT_TRUE(eventually([&] { return pixelsOf(blue, factory->frame) == 0; }, 6s))
      << "gone with its agent: " << run("xwininfo -root -tree | grep 'Tarnwick cursor'");
  EXPECT_GT(pixelsOf(orange, factory->frame), 40u);

  // The user brings their window over the factory: the cursor is covered with it at once.
  const std::string user = userWindowID();
  run("xdotool windowmove --sync " + user + " " + std::to_string(int(factory->frame.origin.x)) + " " +
      std::to_string(int(factory->frame.origin.y)));
  run("xdotool windowsize --sync " + user + " " + std::to_string(int(factory->frame.size.width)) + " " +
      std::to_string(int(factory->frame.size.height)));
  run("xdotool windowraise " + user);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(pixelsOf(orange, factory->frame), 0u);
  run("xdotool windowsize --sync " + user + " 400 120");
  run("xdotool windowmove --sync " + user + " 700 0");
  EXPECT_TRUE(eventually([&] { return pixelsOf(orange, factory->frame) > 40; }, 3s)) << "shown again";

  // Minimised, the factory takes the cursor along.
  run("xdotool windowminimize --sync " + std::to_string(factory->id));
  EXPECT_TRUE(eventually([&] { return pixelsOf(orange, {{0, 0}, {1600, 1000}}) == 0; }, 3s));
  run("xdotool windowactivate --sync " + std::to_string(factory->id));
  run("xdotool windowactivate --sync " + user);
}
