#include <gtest/gtest.h>

#include "tests/support/SimScene.hpp"

namespace {

using NodeID = SimDesktop::NodeID;

// A window with a group holding a field, and a button beside it.
struct FormScene : ::testing::Test, SimScene {
  pid_t app = desktop().addApp({.name = "Form", .bundleID = "org.example.form"});
  WindowNumber window = desktop().addWindow(app, {.title = "Form", .frame = {{100, 100}, {400, 300}}});
  NodeID group = desktop().addElement(desktop().windowNode(window), "AXGroup",
                                      {{"AXTitle", std::string("Address")}, {"AXPosition", Point{110, 130}},
                                       {"AXSize", Size{300, 100}}});
  NodeID field = desktop().addElement(group, "AXTextField",
                                      {{"AXTitle", std::string("Street")}, {"AXValue", std::string("Main St")},
                                       {"AXPosition", Point{120, 140}}, {"AXSize", Size{200, 24}}});
  NodeID button = desktop().addElement(desktop().windowNode(window), "AXButton",
                                       {{"AXTitle", std::string("Send")}, {"AXPosition", Point{400, 350}},
                                        {"AXSize", Size{60, 24}}},
                                       {"AXPress"});
  NodeID extra1 = desktop().addElement(desktop().windowNode(window), "AXCheckBox", {{"AXTitle", std::string("A")}});
  NodeID extra2 = desktop().addElement(desktop().windowNode(window), "AXCheckBox", {{"AXTitle", std::string("B")}});
};

std::string bodyOf(const std::string& state) { return state.substr(state.find("\n\n") + 2); }

}  // namespace

TEST_F(FormScene, TheFirstStateListsEveryElementFromIndexZero) {
  EXPECT_EQ(bodyOf(state(app).text),
            "[0] window \"Form\" @0,0 400x300 actions: Raise\n"
            "  [1] group \"Address\" @10,30 300x100\n"
            "    [2] text field \"Street\" value=\"Main St\" @20,40 200x24\n"
            "  [3] button \"Send\" @300,250 60x24\n"
            "  [4] check box \"A\"\n"
            "  [5] check box \"B\"");
}

TEST_F(FormScene, AValueChangeKeepsItsIndexAndShowsWithItsAncestors) {
  state(app);
  desktop().setValue(field, "AXValue", std::string("Side St\nflat 2"));
  EXPECT_EQ(bodyOf(state(app, true).text),
            "Only elements that changed are listed; all others are as in your previous state of this window and keep "
            "their indexes.\n"
            "[0] window \"Form\" @0,0 400x300 actions: Raise\n"
            "  [1] group \"Address\" @10,30 300x100\n"
            "    [2] text field \"Street\" value=\"Side St\\nflat 2\" @20,40 200x24");
  EXPECT_EQ(bodyOf(state(app, true).text),
            "Only elements that changed are listed; all others are as in your previous state of this window and keep "
            "their indexes.\n(no element changed)");
}

TEST_F(FormScene, RemovedElementsAreGoneAndTheirIndexesNeverReturn) {
  state(app);
  desktop().removeElement(button);
  desktop().addElement(desktop().windowNode(window), "AXButton", {{"AXTitle", std::string("Send")}}, {"AXPress"});
  std::string body = bodyOf(state(app, true).text);
  EXPECT_NE(body.find("  [6] button \"Send\""), std::string::npos) << body;
  EXPECT_TRUE(body.ends_with("\nGone: 3")) << body;
  desktop().removeElement(extra1);
  desktop().removeElement(extra2);
  EXPECT_TRUE(bodyOf(state(app, true).text).ends_with("\nGone: 4-5"));
}

TEST_F(FormScene, MoreThanHalfChangedGivesTheFullList) {
  state(app);
  for (NodeID node : {group, field, button, extra1}) desktop().setValue(node, "AXDescription", std::string("x"));
  desktop().setValue(group, "AXTitle", std::string("Home"));
  desktop().setValue(field, "AXTitle", std::string("Road"));
  desktop().setValue(button, "AXTitle", std::string("Go"));
  desktop().setValue(extra1, "AXTitle", std::string("C"));
  std::string body = bodyOf(state(app, true).text);
  EXPECT_TRUE(body.starts_with("[0] window \"Form\"")) << body;
  EXPECT_NE(body.find("[3] button \"Go\""), std::string::npos);
}

TEST(ElementListing, LabelsStaticTextWebContentAndTheCapturedRectangle) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Browser"});
  WindowNumber window = scene->addWindow(app, {.title = "Page", .frame = {{0, 0}, {1000, 700}}});
  NodeID root = scene->windowNode(window);
  NodeID heading = scene->addElement(root, "AXHeading", {{"AXTitle", std::string("News")}});
  NodeID echo = scene->addElement(heading, "AXStaticText", {{"AXValue", std::string("News")}});
  scene->addElement(echo, "AXLink", {{"AXTitle", std::string("more")}});
  scene->addElement(root, "AXButton", {{"AXTitle", std::string(120, 'a')}});
  scene->addElement(root, "AXButton", {{"AXTitle", std::string(121, 'b')}});
  scene->addElement(root, "AXButton", {{"AXTitle", std::string("far away")}, {"AXPosition", Point{2000, 10}},
                                       {"AXSize", Size{50, 20}}});
  scene->addElement(root, "AXMenu", {{"AXTitle", std::string("context")}, {"AXPosition", Point{2000, 10}},
                                     {"AXSize", Size{50, 20}}});
  NodeID web = scene->addElement(root, "AXWebArea", {{"AXTitle", std::string("Page")}});
  NodeID hidden = scene->addElement(web, "AXGroup", {{"AXPosition", Point{10, 10}}, {"AXSize", Size{1, 1}}});
  scene->addElement(hidden, "AXLink", {{"AXTitle", std::string("hidden link")}});
  scene->addElement(web, "AXLink", {{"AXTitle", std::string("tiny")}, {"AXPosition", Point{10, 10}}, {"AXSize", Size{300, 0.5}}});

  const std::string text = scene.state(app).text;
  EXPECT_NE(text.find("\n2 web elements scrolled out of view are not listed; scroll to reach them.\n"), std::string::npos);
  const std::string body = bodyOf(text);
  EXPECT_EQ(body.find("static text"), std::string::npos) << "a static text repeating its parent is not listed";
  EXPECT_NE(body.find("  [1] heading \"News\"\n    [2] link \"more\""), std::string::npos) << body;
  EXPECT_NE(body.find("button \"" + std::string(120, 'a') + "\"\n"), std::string::npos);
  EXPECT_NE(body.find("button \"" + std::string(120, 'b') + "\u2026\" (121 chars)"), std::string::npos);
  EXPECT_EQ(body.find("far away"), std::string::npos) << "outside the captured rectangle";
  EXPECT_NE(body.find("menu \"context\""), std::string::npos) << "menus are kept wherever they are";
  EXPECT_EQ(body.find("hidden link"), std::string::npos);
  EXPECT_EQ(body.find("tiny"), std::string::npos);
}

TEST(ElementListing, TheWalkStopsAtItsLimits) {
  SimScene deep;
  pid_t app = deep->addApp({.name = "Deep"});
  NodeID node = deep->windowNode(deep->addWindow(app, {.title = "Deep"}));
  for (int i = 0; i < 100; ++i) node = deep->addElement(node, "AXButton", {{"AXTitle", std::to_string(i)}});
  std::string text = deep.state(app).text;
  EXPECT_NE(text.find("The element list was cut off"), std::string::npos);
  EXPECT_NE(text.find("[79] button \"78\""), std::string::npos);
  EXPECT_EQ(text.find("button \"79\""), std::string::npos) << "depth 80 is not read";

  SimScene wide;
  pid_t many = wide->addApp({.name = "Wide"});
  NodeID root = wide->windowNode(wide->addWindow(many, {.title = "Wide"}));
  for (int i = 0; i < 2000; ++i) wide->addElement(root, "AXButton", {{"AXTitle", "b" + std::to_string(i)}});
  text = wide.state(many).text;
  EXPECT_NE(text.find("The element list was cut off"), std::string::npos);
  EXPECT_NE(text.find("[1499] button"), std::string::npos);
  EXPECT_EQ(text.find("[1500]"), std::string::npos);

  SimScene slow;
  pid_t sluggish = slow->addApp({.name = "Slow"});
  root = slow->windowNode(slow->addWindow(sluggish, {.title = "Slow"}));
  for (int i = 0; i < 300; ++i) slow->addElement(root, "AXButton", {{"AXTitle", "s" + std::to_string(i)}});
  slow->setCallCost(0.01);
  text = slow.state(sluggish).text;
  EXPECT_NE(text.find("The element list was cut off"), std::string::npos) << "five seconds of a slow app";
  EXPECT_EQ(text.find("button \"s299\""), std::string::npos);
}
