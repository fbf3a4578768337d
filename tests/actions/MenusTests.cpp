#include <gtest/gtest.h>

#include <regex>

#include "tests/support/SimScene.hpp"

namespace {

// An editor whose "Format" button opens a menu with a submenu.
struct MenuScene {
  SimScene scene;
  pid_t editor = scene->addApp({.name = "Editor"});
  WindowNumber window = scene->addWindow(editor, {.title = "Doc", .frame = {{100, 100}, {700, 500}}});
  SimDesktop::NodeID button = scene->addElement(scene->windowNode(window), "AXMenuButton",
                                                {{"AXTitle", std::string("Format")}, {"AXPosition", Point{150, 150}},
                                                 {"AXSize", Size{80, 30}}},
                                                {"AXPress"});
  std::optional<SimDesktop::NodeID> menu;
  std::string chosen;

  MenuScene() {
    scene->onAction(button, "AXPress", [this] { open(); });
  }
  void open() {
    menu = scene->addElement(scene->appNode(editor), "AXMenu",
                             {{"AXPosition", Point{150, 180}}, {"AXSize", Size{200, 90}}}, {"AXCancel"});
    scene->onAction(*menu, "AXCancel", [this] {
      scene->removeElement(*menu);
      menu.reset();
    });
    auto copy = scene->addElement(*menu, "AXMenuItem", {{"AXTitle", std::string("Copy")}}, {"AXPress"});
    scene->onAction(copy, "AXPress", [this] { chosen = "Copy"; });
    auto transformations =
        scene->addElement(*menu, "AXMenuItem", {{"AXTitle", std::string("Transformations")}}, {"AXPress"});
    auto submenu = scene->addElement(transformations, "AXMenu", {{"AXPosition", Point{350, 200}}, {"AXSize", Size{150, 30}}});
    auto upper = scene->addElement(submenu, "AXMenuItem", {{"AXTitle", std::string("Make Upper Case\u2026")}}, {"AXPress"});
    scene->onAction(upper, "AXPress", [this] { chosen = "upper"; });
  }
  std::string buttonIndex() {
    std::smatch found;
    std::string state = scene.call("get_app_state", {{"app", "Editor"}});
    return std::regex_search(state, found, std::regex(R"(\[(\d+)\] menu button "Format")")) ? found[1].str() : "";
  }
  std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }
};

}  // namespace

TEST(MenuItem, AClickChoosesInTheMenuItOpenedDescendingIntoSubmenusAndClosesIt) {
  MenuScene desk;
  const std::string index = desk.buttonIndex();
  ASSERT_FALSE(index.empty());
  std::string result =
      desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"menu_item", "transformations > make upper case..."}});
  EXPECT_EQ(desk.firstLine(result), "Clicked [" + index +
                                        "] Format. Chose \"transformations > make upper case...\" from the menu.");
  EXPECT_EQ(desk.chosen, "upper");
  EXPECT_FALSE(desk.menu) << "no menu stays open";
}

TEST(MenuItem, AMissingItemIsNamedWithTheMenusItemsAndNothingIsChosen) {
  MenuScene desk;
  const std::string index = desk.buttonIndex();
  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"menu_item", "Paste"}}),
            "The menu has no item \"Paste\". Items: Copy, Transformations.");
  EXPECT_EQ(desk.chosen, "");
  EXPECT_FALSE(desk.menu);
  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"menu_item", "Transformations > Bold"}}),
            "The submenu \"Transformations\" has no item \"Bold\". Items: Make Upper Case\u2026.");

  desk.scene->onAction(desk.button, "AXPress", [] {});
  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"menu_item", "Copy"}}),
            "No menu opened, so \"Copy\" could not be chosen.");
}

// GTK draws a menu button's menu as a popover inside the window, under the button, whose
// items are buttons and check boxes in groups; choosing one closes it.
TEST(MenuItem, AMenuButtonsPopoverIsChosenInLikeAMenu) {
  MenuScene desk;
  SimDesktop::NodeID popover = 0;
  desk.scene->onAction(desk.button, "AXPress", [&] {
    popover = desk.scene->addElement(desk.button, "AXPopover", {{"AXPosition", Point{150, 180}}, {"AXSize", Size{160, 80}}});
    auto group = desk.scene->addElement(popover, "AXGroup", {{"AXPosition", Point{150, 180}}, {"AXSize", Size{160, 80}}});
    for (const char* title : {"Get Busy", "Dark Theme"}) {
      auto item = desk.scene->addElement(group, std::string(title) == "Get Busy" ? "AXButton" : "AXCheckBox",
                                         {{"AXTitle", std::string(title)}}, {"AXPress"});
      desk.scene->onAction(item, "AXPress", [&desk, &popover, title] {
        desk.chosen = title;
        desk.scene->removeElement(popover);
      });
    }
  });
  const std::string index = desk.buttonIndex();
  EXPECT_EQ(desk.firstLine(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"menu_item", "dark theme"}})),
            "Clicked [" + index + "] Format. Chose \"dark theme\" from the menu.");
  EXPECT_EQ(desk.chosen, "Dark Theme");
  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"menu_item", "Light"}}),
            "The menu has no item \"Light\". Items: Get Busy, Dark Theme.");
}
