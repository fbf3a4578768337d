#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "kit/input/Pointer.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/platform/KeyboardLayouts.hpp"
#include "kit/tools/Tools.hpp"
#include "tests/support/EditorBehindTerminal.hpp"

namespace {

using Kind = AgentEvent::Kind;

// A user working in their terminal while an agent operates an editor behind it.
struct Desk : EditorBehindTerminal {
  SimDesktop::NodeID button = scene->addElement(scene->windowNode(editorWindow), "AXButton",
                                                {{"AXTitle", std::string("OK")}, {"AXPosition", Point{150, 150}},
                                                 {"AXSize", Size{80, 30}}},
                                                {"AXPress", "AXShowMenu"});
  int pressed = 0, pointerClicks = 0;

  Desk() { scene->onAction(button, "AXPress", [this] { ++pressed; }); }
  // The index the button has in the agent's state.
  std::string look() { return scene.call("get_app_state", {{"app", "Editor"}}); }
  int64_t buttonIndex() {
    std::smatch found;
    std::string state = look();
    if (!std::regex_search(state, found, std::regex(R"(\[(\d+)\] button "OK")"))) return -1;
    return std::stoll(found[1]);
  }
  std::vector<SimModel::Posted> events(Kind kind) {
    std::vector<SimModel::Posted> matching;
    for (const auto& posted : scene->posted())
      if (posted.event.kind == kind) matching.push_back(posted);
    return matching;
  }
  std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }
};

}  // namespace

TEST(Click, APlainClickOnAButtonPressesItThroughAccessibilityAfterTheCursorTravels) {
  Desk desk;
  int64_t index = desk.buttonIndex();
  std::string result = desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}});
  EXPECT_EQ(desk.firstLine(result), "Clicked [" + std::to_string(index) + "] OK.");
  EXPECT_EQ(desk.pressed, 1);
  EXPECT_FALSE(desk.events(Kind::move).empty());
  EXPECT_EQ(desk.events(Kind::move).back().event.point, (Point{190, 165}));
  EXPECT_TRUE(desk.events(Kind::buttonDown).empty());

  // The user's side is as it was; the app is given back after the call.
  EXPECT_EQ(desk.scene->userPointer(), (Point{720, 450}));
  EXPECT_EQ(desk.scene->windowServer().frontProcess(), desk.terminal);
  EXPECT_FALSE(desk.scene->clientPointer(desk.editor));
  EXPECT_FALSE(SharedKeyWindow::shared().holds(desk.editor));
}

TEST(Click, ModifiersCountsButtonsAndLongPressesArePointerClicks) {
  Desk desk;
  const std::string index = std::to_string(desk.buttonIndex());
  EXPECT_EQ(desk.firstLine(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"key", "cmd+shift"}})),
            "Clicked [" + index + "] OK.");
  auto downs = desk.events(Kind::buttonDown);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0].event.modifiers, KeyModifier::control | KeyModifier::shift) << "cmd is Control on Linux";
  EXPECT_EQ(downs[0].reached, desk.editorWindow);
  EXPECT_EQ(downs[0].event.point, (Point{190, 165}));
  EXPECT_EQ(desk.pressed, 1) << "the app reacts to the pointer click itself";

  EXPECT_EQ(desk.firstLine(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"click_count", 10}})),
            "Triple-clicked [" + index + "] OK.");
  downs = desk.events(Kind::buttonDown);
  ASSERT_EQ(downs.size(), 4u);
  EXPECT_EQ(downs[1].event.clickState, 1);
  EXPECT_EQ(downs[3].event.clickState, 3);

  EXPECT_EQ(desk.firstLine(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"mouse_button", "middle"}})),
            "Middle-clicked [" + index + "] OK.");
  EXPECT_EQ(desk.firstLine(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"mouse_button", "right"}})),
            "Opened the context menu of [" + index + "] OK.");

  desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"duration", 0.5}});
  auto ups = desk.events(Kind::buttonUp);
  downs = desk.events(Kind::buttonDown);
  EXPECT_NEAR(ups.back().time - downs.back().time, 0.5, 1e-6);

  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"key", "hyper"}}),
            "Unknown modifier \"hyper\" in \"hyper+a\". Use cmd, shift, alt/option, ctrl or fn.");
}

TEST(Click, PixelsNeedAStateAndMustLieInTheWindow) {
  Desk desk;
  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"x", 10}, {"y", 10}}),
            "Call get_app_state for this window first; x/y are pixels of its screenshot.");
  desk.look();
  EXPECT_EQ(desk.firstLine(desk.scene.call("click", {{"app", "Editor"}, {"x", 90}, {"y", 65}})), "Clicked at that point.");
  auto downs = desk.events(Kind::buttonDown);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0].event.point, (Point{190, 165}));
  EXPECT_EQ(desk.pressed, 1);
  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"x", 702}, {"y", 10}}),
            "That point is outside the window; if you clicked an element, it moved: call get_app_state again.");
  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"x", 10}}), "Pass element_index, or x and y.");
}

TEST(Click, ACoveredPointNeverReceivesTheAgentsPress) {
  Desk desk;
  int64_t index = desk.buttonIndex();
  desk.scene->setWindowFrame(desk.terminalWindow, {{120, 120}, {300, 300}});  // the user's window over the button
  std::string result = desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}});
  EXPECT_EQ(desk.firstLine(result), "Clicked [" + std::to_string(index) + "] OK.") << "pressed through accessibility";
  EXPECT_EQ(desk.pressed, 1);
  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"key", "shift"}}),
            Pointer::coveredMessage);
  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"x", 90}, {"y", 65}}), Pointer::coveredMessage);
  EXPECT_TRUE(desk.events(Kind::buttonDown).empty());
  for (const auto& move : desk.events(Kind::move)) EXPECT_EQ(move.reached, desk.editorWindow);
}

TEST(Hover, MovesTheAgentsCursorOnlyAndTheDevicesGoWithTheConnection) {
  auto desk = std::make_unique<Desk>();
  int64_t index = desk->buttonIndex();
  std::string result = desk->scene.call("hover", {{"app", "Editor"}, {"element_index", index}});
  EXPECT_TRUE(result.starts_with("Moved the cursor there.")) << result;
  EXPECT_EQ(desk->events(Kind::move).back().event.point, (Point{190, 165}));
  EXPECT_TRUE(desk->events(Kind::buttonDown).empty());
  EXPECT_EQ(desk->pressed, 0);
  EXPECT_EQ(desk->scene.call("hover", {{"app", "Editor"}, {"x", 3}}), "Pass element_index, or x and y.");

  EXPECT_FALSE(desk->scene->agentRemoved(1));
  desk->scene.resetEngine();
  EXPECT_TRUE(desk->scene->agentRemoved(1));
}

TEST(Click, AnAppThatActivatesItselfWhenClickedGivesTheFrontBackToTheUser) {
  Desk desk;
  const std::string index = std::to_string(desk.buttonIndex());
  desk.scene->onAction(desk.button, SimInput::pointerClick, [&] {
    desk.scene->setFront(desk.editor);
    desk.scene->moveToFront(desk.editorWindow);
  });
  desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"key", "shift"}});
  EXPECT_EQ(desk.scene->windowServer().frontProcess(), desk.terminal);
  EXPECT_EQ(desk.scene->windowServer().frontWindow(), desk.terminalWindow);

  // The user's own click in the editor is the user's choice and stays.
  desk.scene->userClicks(desk.editorWindow);
  desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"key", "shift"}});
  EXPECT_EQ(desk.scene->windowServer().frontProcess(), desk.editor);
}
