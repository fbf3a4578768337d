// scroll: swipe-shaped wheel events to a background window, and what accessibility says moved.
#include <gtest/gtest.h>

#include <numeric>

#include "kit/input/HumanScrolling.hpp"
#include "kit/perception/AX.hpp"
#include "platform/sim/SimInput.hpp"
#include "tests/support/EditorBehindTerminal.hpp"

namespace {

using NodeID = SimDesktop::NodeID;
using Kind = AgentEvent::Kind;

int64_t sum(const std::vector<ScrollStep>& steps) {
  return std::accumulate(steps.begin(), steps.end(), int64_t(0),
                         [](int64_t total, const ScrollStep& step) { return total + step.delta; });
}

// A list 2000 points tall in a 400-point scroll area of the editor behind the user's terminal.
struct ListDesk : EditorBehindTerminal {
  NodeID window = scene->windowNode(editorWindow);
  NodeID area = scene->addElement(window, "AXScrollArea", {{"AXPosition", Point{150, 150}}, {"AXSize", Size{400, 400}}});
  NodeID content = scene->addElement(area, "AXList", {{"AXPosition", Point{150, 150}}, {"AXSize", Size{400, 2000}}});
  NodeID bar = scene->addElement(area, "AXScrollBar", {{"AXPosition", Point{540, 150}}, {"AXSize", Size{10, 400}}, {"AXValue", 0.0}});

  explicit ListDesk(bool takesTheWheel = true) {
    scene->setValue(area, "AXVerticalScrollBar", scene->element(bar));
    scene->makeSettable(bar, "AXValue");
    if (takesTheWheel) scene->onAction(area, SimInput::wheelTurned, [this] { turn(); });
  }
  double position() { return std::get<double>(*AX::value(scene->element(bar), "AXValue")); }
  // The last wheel event moves the list by its points.
  void turn() {
    const auto posted = scene->posted();
    const double moved = -posted.back().event.wheel.y / 1700.0;
    scene->setValue(bar, "AXValue", std::clamp(position() + moved, 0.0, 1.0));
  }
  std::string scroll(Json arguments) {
    arguments["app"] = "Editor";
    const std::string text = scene.call("scroll", arguments);
    return text.substr(0, text.find('\n'));
  }
  std::vector<SimModel::Posted> wheels() {
    std::vector<SimModel::Posted> found;
    for (const auto& posted : scene->posted())
      if (posted.event.kind == Kind::scroll) found.push_back(posted);
    return found;
  }
};

}  // namespace

TEST(HumanScrolling, SwipesCoverTheDistanceExactlyAtAHandsPace) {
  EXPECT_TRUE(HumanScrolling::steps(0).empty());
  for (int64_t distance : {1, 149, 680, 1149, 1150, 2600, 5000}) {
    const auto steps = HumanScrolling::steps(distance);
    EXPECT_EQ(sum(steps), distance);
    for (size_t i = 1; i < steps.size(); ++i) {
      EXPECT_GT(steps[i].delta, 0);
      EXPECT_GT(steps[i].time, steps[i - 1].time);
    }
    // One swipe covers at most 1149 points and lasts at most about a second.
    EXPECT_LE(steps.back().time, double(distance / 450 + 1) * (0.15 + 3.51 * 0.26 + 0.22)) << distance;
  }
  const auto swipe = HumanScrolling::swipe(800, 2.0);
  EXPECT_EQ(sum(swipe), 800);
  EXPECT_GE(swipe.front().time, 2.007);
  EXPECT_LE(swipe.back().time, 2.0 + 0.15 + 3.51 * 0.26);
  // Fast early, slow late: the first half of the time covers well over half the way
  // (at least 80 % for any hand; 60 % leaves room for the steps' granularity).
  const double half = 2.0 + (swipe.back().time - 2.0) / 2;
  int64_t early = 0;
  for (const auto& step : swipe) early += step.time <= half ? step.delta : 0;
  EXPECT_GT(early, 480);
}

TEST(Scroll, TheWheelScrollsTheBackgroundListAndTheMovementIsReported) {
  ListDesk desk;
  EXPECT_EQ(desk.scroll({{"direction", "down"}, {"pages", 2}}), "Scrolled down: position 0% \u2192 40%.");
  const auto wheels = desk.wheels();
  ASSERT_FALSE(wheels.empty());
  double turned = 0;
  for (const auto& wheel : wheels) {
    EXPECT_EQ(wheel.reached, desk.editorWindow);
    EXPECT_EQ(wheel.event.point, (Point{450, 350}));  // the window's centre
    turned += wheel.event.wheel.y;
  }
  EXPECT_EQ(turned, -680);  // two pages of 85 % of the area
  EXPECT_EQ(desk.scene->windowServer().frontProcess(), desk.terminal);
  EXPECT_EQ(desk.scene->userPointer(), (Point{720, 450}));

  // Back up past the top: at the start, said with the agent's own word.
  EXPECT_EQ(desk.scroll({{"direction", "Up"}, {"pages", 3}}), "Scrolled Up: position 40% \u2192 0%.");
  EXPECT_EQ(desk.scroll({{"direction", "Up"}}),
            "Nothing moved: the view is at the start already, or ignores scrolling in the background.");
}

TEST(Scroll, AViewThatIgnoresTheWheelIsScrolledByItsBar) {
  ListDesk desk(false);
  EXPECT_EQ(desk.scroll({{"direction", "d"}, {"pages", 0.5}}), "Scrolled d through accessibility: position 0% \u2192 11%.");
}

TEST(Scroll, ViewsWithoutAPositionAndBadInputAreSaidSo) {
  ListDesk desk;
  EXPECT_EQ(desk.scroll({{"direction", "sideways"}}), "direction must be up, down, left or right.");
  EXPECT_EQ(desk.scroll({{"direction", "down"}, {"x", 10}}), "Pass element_index, or x and y.");
  EXPECT_TRUE(desk.wheels().empty());
  EXPECT_EQ(desk.scroll({{"direction", "down"}, {"pages", 0}}),
            "Nothing moved: the view is at the end already, or ignores scrolling in the background.");
  EXPECT_TRUE(desk.wheels().empty());
  // Outside the list, the window reports no scroll position.
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  EXPECT_EQ(desk.scroll({{"direction", "down"}, {"x", 600}, {"y", 450}}),
            "Sent the scroll wheel down, but this view does not report its scroll position, so whether it moved is "
            "unknown; compare with get_app_state.");
}
