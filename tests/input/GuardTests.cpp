#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "tests/support/SimScene.hpp"

namespace {

using namespace std::chrono_literals;

// The user works in their terminal (two windows); a viewer behind them comes to the
// front whenever it is clicked, as Qt and Chromium apps do.
struct ViewerBehindTerminal {
  SimScene scene;
  pid_t terminal = scene->addApp({.name = "Terminal"});
  pid_t viewer = scene->addApp({.name = "Viewer", .activatesOnClick = true});
  WindowNumber viewerWindow = scene->addWindow(viewer, {.title = "Picture", .frame = {{100, 100}, {1000, 600}}});
  WindowNumber notes = scene->addWindow(terminal, {.title = "notes", .frame = {{900, 300}, {400, 400}}});
  WindowNumber shell = scene->addWindow(terminal, {.title = "shell", .frame = {{900, 0}, {500, 400}}});
  SimDesktop::NodeID button = scene->addElement(
      scene->windowNode(viewerWindow), "AXButton",
      {{"AXTitle", std::string("Next")}, {"AXPosition", Point{150, 150}}, {"AXSize", Size{80, 30}}});

  ViewerBehindTerminal() { scene->setFront(terminal); }

  std::string clickNext() {
    std::smatch found;
    const std::string state = scene.call("get_app_state", {{"app", "Viewer"}, {"window_id", viewerWindow}});
    if (!std::regex_search(state, found, std::regex(R"(\[(\d+)\] button "Next")"))) return "no button";
    return scene.call("click", {{"app", "Viewer"}, {"element_index", std::stoll(found[1])}});
  }
  std::vector<WindowNumber> order() {
    std::vector<WindowNumber> numbers;
    for (const auto& window : scene->windowServer().windowList(WindowListOption::onScreenOnly, 0))
      numbers.push_back(window[WindowKey::number]);
    return numbers;
  }
  bool eventually(const std::function<bool()>& test) {
    for (int i = 0; i < 300 && !test(); ++i) std::this_thread::sleep_for(10ms);
    return test();
  }
};

}  // namespace

TEST(StackGuard, AnAppThatComesForwardWhenClickedGivesTheUserTheirFrontAndTheirWindowOrderBack) {
  ViewerBehindTerminal desk;
  const std::vector<WindowNumber> before{desk.shell, desk.notes, desk.viewerWindow};
  ASSERT_EQ(desk.order(), before);
  EXPECT_NE(desk.clickNext(), "no button");
  EXPECT_TRUE(desk.eventually([&] { return desk.order() == before; })) << "the viewer covered the user's windows";
  EXPECT_EQ(desk.scene->windowServer().frontProcess(), desk.terminal);
  EXPECT_EQ(desk.scene->windowServer().frontWindow(), desk.shell);
}

TEST(StackGuard, WhenTheUserWorksInTheTargetAppTheirOwnWindowIsGivenBack) {
  ViewerBehindTerminal desk;
  // The user works in a second viewer window, in front; the agent clicks in the first.
  const WindowNumber mine = desk.scene->addWindow(desk.viewer, {.title = "Mine", .frame = {{600, 650}, {300, 200}}});
  desk.scene->setFront(desk.viewer);
  desk.scene->moveToFront(mine);
  ASSERT_EQ(desk.scene->windowServer().frontWindow(), mine);
  EXPECT_NE(desk.clickNext(), "no button");
  EXPECT_TRUE(desk.eventually([&] { return desk.scene->windowServer().frontWindow() == mine; }));
}

namespace {

// The viewer's "Format" button opens a menu, which holds the keyboard until it closes.
struct MenuInTheBackground : ViewerBehindTerminal {
  SimDesktop::NodeID format = scene->addElement(
      scene->windowNode(viewerWindow), "AXMenuButton",
      {{"AXTitle", std::string("Format")}, {"AXPosition", Point{300, 150}}, {"AXSize", Size{80, 30}}}, {"AXPress"});
  std::optional<SimDesktop::NodeID> menu;

  MenuInTheBackground() {
    scene->onAction(format, "AXPress", [this] {
      menu = scene->addElement(scene->appNode(viewer), "AXMenu",
                               {{"AXPosition", Point{300, 180}}, {"AXSize", Size{200, 60}}}, {"AXCancel"});
      scene->addElement(*menu, "AXMenuItem", {{"AXTitle", std::string("Bold")}}, {"AXPress"});
      scene->addElement(*menu, "AXMenuItem", {{"AXTitle", std::string("Italic")}}, {"AXPress"});
      scene->onAction(*menu, "AXCancel", [this] {
        scene->removeElement(*menu);
        menu.reset();
      });
    });
  }
  std::string clickFormat() {
    std::smatch found;
    const std::string state = scene.call("get_app_state", {{"app", "Viewer"}});
    if (!std::regex_search(state, found, std::regex(R"(\[(\d+)\] menu button "Format")"))) return "no button";
    return scene.call("click", {{"app", "Viewer"}, {"element_index", std::stoll(found[1])}});
  }
};

}  // namespace

TEST(KeyboardGuard, AMenuLeftOpenInABackgroundAppIsClosedAndTheAgentToldItsItems) {
  MenuInTheBackground desk;
  const std::string result = desk.clickFormat();
  EXPECT_NE(result.find("A menu opened and was closed again at once, because an open menu takes the user's "
                        "keyboard. Its items were: Bold, Italic. To pick an item, repeat the click with menu_item"),
            std::string::npos)
      << result;
  EXPECT_FALSE(desk.menu) << "the menu is closed";
  // Chosen in the same call, the menu leaves nothing open and needs no note.
  std::smatch found;
  const std::string state = desk.scene.call("get_app_state", {{"app", "Viewer"}});
  ASSERT_TRUE(std::regex_search(state, found, std::regex(R"(\[(\d+)\] menu button "Format")")));
  const std::string chosen = desk.scene.call(
      "click", {{"app", "Viewer"}, {"element_index", std::stoll(found[1])}, {"menu_item", "Italic"}});
  EXPECT_EQ(chosen.find("A menu opened"), std::string::npos) << chosen;
  EXPECT_FALSE(desk.menu);
}
