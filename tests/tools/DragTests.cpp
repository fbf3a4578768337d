// drag: press, a hand's stroke and release in a background window; system drags cancelled.
#include <gtest/gtest.h>

#include <algorithm>

#include "kit/input/HumanMotion.hpp"
#include "kit/input/Pointer.hpp"
#include "kit/input/SystemDrag.hpp"
#include "platform/sim/SimInput.hpp"
#include "tests/support/EditorBehindTerminal.hpp"

namespace {

using Kind = AgentEvent::Kind;

// A slider 300 points wide in the editor behind the user's terminal; a drag on it sets
// its value from where the button was released.
struct SliderDesk : EditorBehindTerminal {
  SimDesktop::NodeID slider = scene->addElement(scene->windowNode(editorWindow), "AXSlider",
                                                {{"AXPosition", Point{200, 200}}, {"AXSize", Size{300, 20}},
                                                 {"AXValue", 0.0}});
  int drags = 0;

  SliderDesk() {
    scene->onAction(slider, SimInput::pointerDragged, [this] {
      ++drags;
      const Point released = scene->posted().back().event.point;
      scene->setValue(slider, "AXValue", (released.x - 200) / 300 * 100);
    });
    scene.call("get_app_state", {{"app", "Editor"}});
  }
  std::string drag(Json arguments) {
    arguments["app"] = "Editor";
    const std::string text = scene.call("drag", arguments);
    return text.substr(0, text.find('\n'));
  }
  // The events from the last press on.
  std::vector<SimModel::Posted> fromPress() {
    auto all = scene->posted();
    auto press = std::find_if(all.rbegin(), all.rend(), [](const auto& p) { return p.event.kind == Kind::buttonDown; });
    if (press == all.rend()) return {};
    return {press.base() - 1, all.end()};
  }
  double value() { return std::get<double>(scene->accessibility().copyAttribute(scene->element(slider), "AXValue").second); }
};

}  // namespace

TEST(Drag, TheSliderIsDraggedInTheBackgroundWithTheUsersSideUntouched) {
  SliderDesk desk;
  EXPECT_EQ(desk.drag({{"from_x", 110.7}, {"from_y", 110}, {"to_x", 340}, {"to_y", 110.2}}),
            "Dragged from (110, 110) to (340, 110).");
  const auto events = desk.fromPress();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front().event.point, (Point{210.7, 210}));
  EXPECT_EQ(events.back().event.kind, Kind::buttonUp);
  EXPECT_EQ(events.back().event.point, (Point{440, 210.2}));
  for (const auto& posted : events) {
    EXPECT_EQ(posted.reached, desk.editorWindow);
    if (posted.event.kind == Kind::move) {
      EXPECT_EQ(posted.event.button, MouseButton::left);
    }
  }
  EXPECT_EQ(desk.drags, 1);
  EXPECT_NEAR(desk.value(), 80, 0.01);
  EXPECT_EQ(desk.scene->windowServer().frontProcess(), desk.terminal);
  EXPECT_EQ(desk.scene->userPointer(), (Point{720, 450}));
  EXPECT_FALSE(desk.scene->clientPointer(desk.editor));

  // Held keys and another button go with every event of the drag.
  desk.drag({{"from_x", 340}, {"from_y", 110}, {"to_x", 200}, {"to_y", 110}, {"mouse_button", "right"}, {"key", "shift"}});
  for (const auto& posted : desk.fromPress()) {
    EXPECT_EQ(posted.event.button, MouseButton::right);
    EXPECT_EQ(posted.event.modifiers, KeyModifier::shift);
  }
}

TEST(Drag, DurationPathAndCoincidingPointsShapeTheStroke) {
  SliderDesk desk;
  auto span = [&] {
    const auto events = desk.fromPress();
    return events.back().time - events.front().time;
  };
  desk.drag({{"from_x", 110}, {"from_y", 110}, {"to_x", 390}, {"to_y", 110}, {"duration", 2}});
  EXPECT_GE(span(), 2.0);
  EXPECT_LT(span(), 2.8);
  desk.drag({{"from_x", 110}, {"from_y", 110}, {"to_x", 390}, {"to_y", 110}, {"duration", 0.05}});
  EXPECT_GE(span(), 0.15 + 0.1) << "a stroke lasts at least 0.15 s, after the hold before moving";

  // Coinciding pixels: the press, one drag event at the same point, the release.
  EXPECT_EQ(desk.drag({{"from_x", 150}, {"from_y", 110}, {"to_x", 150}, {"to_y", 110}}),
            "Dragged from (150, 110) to (150, 110).");
  auto events = desk.fromPress();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[1].event.kind, Kind::move);
  EXPECT_EQ(events[1].event.point, (Point{250, 210}));
  EXPECT_EQ(events[2].event.point, (Point{250, 210}));

  // A pen stroke passes through its waypoints.
  desk.drag({{"from_x", 110}, {"from_y", 110}, {"path", {{200, 300}, {300, 110}}}, {"to_x", 390}, {"to_y", 300}});
  events = desk.fromPress();
  for (Point waypoint : {Point{300, 400}, Point{400, 210}}) {
    double nearest = 1e9;
    for (const auto& posted : events) nearest = std::min(nearest, HumanMotion::distance(posted.event.point, waypoint));
    EXPECT_LT(nearest, 4) << waypoint.x;
  }
  EXPECT_EQ(events.back().event.point, (Point{490, 400}));
}

TEST(Drag, ASystemDragIsStoppedCancelledAndExplained) {
  SliderDesk desk;
  // Pressing the slider starts the app's drag and drop: its drag image appears.
  desk.scene->onAction(desk.slider, SimInput::pointerPressed, [&desk] {
    desk.scene->addWindow(desk.editor, {.title = "", .frame = {{210, 210}, {40, 20}}, .layer = dragLayer});
  });
  EXPECT_EQ(desk.drag({{"from_x", 110}, {"from_y", 110}, {"to_x", 390}, {"to_y", 110}}), SystemDrag::cancelledMessage);
  EXPECT_FALSE(SystemDrag::showsDragImage(desk.editor)) << "Escape ended it";
  const auto events = desk.fromPress();
  const auto moves = std::count_if(events.begin(), events.end(), [](const auto& p) { return p.event.kind == Kind::move; });
  EXPECT_LE(moves, 4) << "the motion stops at the first check";
  // Escape while the button is still down: a release would drop.
  const auto escape = std::find_if(events.begin(), events.end(), [](const auto& p) { return p.event.kind == Kind::keyDown; });
  ASSERT_NE(escape, events.end());
  EXPECT_NE(std::find_if(escape, events.end(), [](const auto& p) { return p.event.kind == Kind::buttonUp; }), events.end());
  EXPECT_EQ(desk.scene->windowServer().frontProcess(), desk.terminal);
}

TEST(Drag, ADragAndDropWithoutAnImageIsCaughtByItsDragDataAlone) {
  SliderDesk desk;
  // Data held from a drag before this one is no new drag: the slider drag goes through.
  desk.scene->beginDragWithoutImage(desk.editor);
  EXPECT_EQ(desk.drag({{"from_x", 110}, {"from_y", 110}, {"to_x", 390}, {"to_y", 110}}),
            "Dragged from (110, 110) to (390, 110).");
  desk.scene->onAction(desk.slider, SimInput::pointerPressed, [&desk] { desk.scene->beginDragWithoutImage(desk.editor); });
  EXPECT_EQ(desk.drag({{"from_x", 110}, {"from_y", 110}, {"to_x", 390}, {"to_y", 110}}), SystemDrag::cancelledMessage);
  EXPECT_FALSE(desk.scene->windowServer().dragSource(desk.editor).holdsData) << "Escape ended it";
  const auto events = desk.fromPress();
  const auto escape = std::find_if(events.begin(), events.end(), [](const auto& p) { return p.event.kind == Kind::keyDown; });
  ASSERT_NE(escape, events.end());
  EXPECT_NE(std::find_if(escape, events.end(), [](const auto& p) { return p.event.kind == Kind::buttonUp; }), events.end());
}

TEST(Drag, CoveredPointsAndCrossWindowGesturesSendNothing) {
  SliderDesk desk;
  desk.scene->setWindowFrame(desk.terminalWindow, {{420, 180}, {300, 300}});  // over the slider's right end
  const size_t before = desk.scene->posted().size();
  EXPECT_EQ(desk.drag({{"from_x", 110}, {"from_y", 110}, {"to_x", 380}, {"to_y", 110}}), Pointer::coveredMessage);
  EXPECT_EQ(desk.drag({{"from_x", 110}, {"from_y", 110}, {"to_x", 200}, {"to_y", 110}, {"to_app", "Terminal"},
                       {"key", "shift"}}),
            "Cross-window drag supports only a selected accessible text move or Option-copy, without waypoints. No "
            "system drag was started.");
  EXPECT_EQ(desk.drag({{"from_x", 110}, {"from_y", 110}, {"to_y", 110}}), "Missing number \"to_x\".");
  EXPECT_EQ(desk.scene->posted().size(), before);
}
