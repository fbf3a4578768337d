#include <gtest/gtest.h>

#include <thread>

#include "kit/input/SharedKeyWindow.hpp"
#include "kit/tools/Tools.hpp"
#include "tests/support/SimScene.hpp"

namespace {

using Kind = AgentEvent::Kind;

// The user works in the editor itself; the agent clicks a button there.
struct SharedEditor {
  SimScene scene;
  pid_t editor = scene->addApp({.name = "Editor"});
  WindowNumber window = scene->addWindow(editor, {.title = "Doc", .frame = {{100, 100}, {700, 500}}});
  SimDesktop::NodeID field = scene->addElement(scene->windowNode(window), "AXTextField",
                                               {{"AXValue", std::string("hel")}, {"AXPosition", Point{120, 120}},
                                                {"AXSize", Size{300, 24}}, {"AXFocused", true},
                                                {"AXSelectedTextRange", TextRange{3, 0}}});
  SimDesktop::NodeID button = scene->addElement(scene->windowNode(window), "AXButton",
                                                {{"AXTitle", std::string("Go")}, {"AXPosition", Point{150, 300}},
                                                 {"AXSize", Size{80, 30}}},
                                                {"AXPress"});
  SharedEditor() {
    scene->setFront(editor);
    scene->setValue(scene->appNode(editor), "AXFocusedUIElement", scene->element(field));
  }
  void userTyped(const std::string& value) {
    scene->setValue(field, "AXValue", value);
    scene->setValue(field, "AXSelectedTextRange", TextRange{static_cast<int64_t>(value.size()), 0});
    scene->userPresses();
  }
  // A pixel click (a pointer click, so every step is an event) at the button.
  std::string click() { return scene.call("click", {{"app", "Editor"}, {"x", 90}, {"y", 215}}); }
  double firstEventTime(Kind kind, double from = 0) {
    for (const auto& posted : scene->posted())
      if (posted.event.kind == kind && posted.time >= from) return posted.time;
    return -1;
  }
};

}  // namespace

TEST(UserPriority, TheAgentWaitsForTheUsersPauseAndLongerInTheMiddleOfAWord) {
  SharedEditor desk;
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  desk.userTyped("hello ");
  double typed = desk.scene->now();
  desk.click();
  double first = desk.firstEventTime(Kind::move);
  EXPECT_GE(first - typed, 0.8);
  EXPECT_LT(first - typed, 1.0);

  desk.userTyped("hello wor");
  typed = desk.scene->now();
  desk.click();
  double down = 0;
  for (const auto& posted : desk.scene->posted())
    if (posted.event.kind == Kind::move && posted.time > typed) { down = posted.time; break; }
  EXPECT_GE(down - typed, 10) << "the caret ends a word";
}

TEST(UserPriority, AUserWorkingElsewhereIsNotWaitedFor) {
  SharedEditor desk;
  pid_t other = desk.scene->addApp({.name = "Mail"});
  desk.scene->addWindow(other, {.title = "Inbox", .frame = {{900, 0}, {400, 300}}});
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  desk.scene->setFront(other);
  desk.userTyped("hel");
  double start = desk.scene->now();
  desk.click();
  EXPECT_LT(desk.firstEventTime(Kind::move) - start, 0.05);
}

// A password prompt holding the keyboard keeps the agent out of the front app until it
// lets go; an app in the background is acted on meanwhile.
TEST(UserPriority, APasswordPromptHoldingTheKeyboardKeepsTheAgentOutOfTheFrontApp) {
  SharedEditor desk;
  pid_t other = desk.scene->addApp({.name = "Mail"});
  desk.scene->addWindow(other, {.title = "Inbox", .frame = {{900, 0}, {400, 300}}});
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  desk.scene->setSecureInput(true);
  const double start = desk.scene->now();
  desk.scene->at(start + 3, [&] { desk.scene->setSecureInput(false); });
  desk.click();
  EXPECT_GE(desk.firstEventTime(Kind::move) - start, 3);

  desk.scene->setSecureInput(true);
  desk.scene->setFront(other);
  const double again = desk.scene->now();
  desk.click();
  EXPECT_LT(desk.firstEventTime(Kind::move, again) - again, 0.05);
}

TEST(UserPriority, TheUsersKeyMidGestureMakesTheAgentStepAsideAndResumeAfterThePause) {
  SharedEditor desk;
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  desk.userTyped("hello ");
  double typed = desk.scene->now();
  std::optional<AgentInput::Agent> heldWhenUserTyped;
  double userAgain = typed + 0.85;  // while the agent's cursor travels
  desk.scene->at(userAgain, [&] {
    desk.userTyped("hello x ");
    heldWhenUserTyped = desk.scene->clientPointer(desk.editor);
  });
  desk.click();
  EXPECT_FALSE(heldWhenUserTyped) << "the app went back to the user at once";
  bool gap = false;
  auto posted = desk.scene->posted();
  for (size_t i = 1; i < posted.size(); ++i)
    if (posted[i - 1].time < userAgain + 0.01 && posted[i].time >= userAgain + 0.8) gap = true;
  EXPECT_TRUE(gap) << "the agent's next event waited for the user's pause";
  EXPECT_FALSE(desk.scene->clientPointer(desk.editor));
}

TEST(UserPriority, TwoAgentsInOneAppNeverInterleaveTheirClicks) {
  SharedEditor desk;
  desk.scene->setFront(0);
  auto secondSession = std::make_shared<AgentSession>(2, "second", std::nullopt);
  Engine second(secondSession, {});
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  Tools::call("get_app_state", Arguments(Json{{"app", "Editor"}}), second, [] { return false; });
  std::thread other([&] {
    Tools::call("click", Arguments(Json{{"app", "Editor"}, {"x", 90}, {"y", 215}}), second, [] { return false; });
  });
  desk.click();
  other.join();
  std::vector<AgentInput::Agent> pressers;
  for (const auto& posted : desk.scene->posted())
    if (posted.event.kind != Kind::move) pressers.push_back(posted.agent);
  ASSERT_EQ(pressers.size(), 4u);
  EXPECT_EQ(pressers[0], pressers[1]);
  EXPECT_EQ(pressers[2], pressers[3]);
  EXPECT_NE(pressers[0], pressers[2]);
}
